// The alarm setup of one logger: readings per day and, per channel, the acceleration and the
// absolute alarm with their limits and messages. It opens on the logger handed over by the
// properties dialog, and however it closes (exit button, close box, Esc, its owner closing) it
// writes the four channels back to the station's setup file.
#pragma once

#include "config/SetupFiles.h"

#include <QDialog>
#include <QPointer>

#include <array>
#include <cstddef>
#include <optional>
#include <string>

class QCheckBox;
class QComboBox;
class QLabel;
class QLayout;
class QLineEdit;

namespace vantrell {

class Station;
class PhoneBookWindow;

class DeviceSetupWindow : public QDialog {
    Q_OBJECT

public:
    DeviceSetupWindow(Station &station, QWidget *parent);

    // Loads the setup of logger `logger` (1..8) of record `record` (the station's pauses: about
    // three seconds, under a busy cursor) and shows the window; when the file cannot be read the
    // operator is told and the window closes.
    void openLogger(const std::string &serialNumber, int record, int logger);
    // Whether this window loads or shows that logger.
    bool editing(int record, int logger) const;

protected:
    void closeEvent(QCloseEvent *event) override;
    // Esc does what the close box does.
    void reject() override;

private:
    enum class Phase { loading, open, closed };

    struct ChannelControls {
        QCheckBox *chkAlarm1 = nullptr;
        QLineEdit *txtDisplacement = nullptr;
        QLineEdit *txtHours = nullptr;
        QComboBox *cmbDP = nullptr;
        QLineEdit *txtMessage1 = nullptr;
        QCheckBox *chkAlarm2 = nullptr;
        QLineEdit *txtMin = nullptr;
        QLineEdit *txtMax = nullptr;
        QLineEdit *txtMessage2 = nullptr;
        std::string loadedDecimalPoint; // kept when the list cannot show it
    };

    struct Refusal;

    QLayout *buildHeader();
    QWidget *buildInterval();
    QWidget *buildChannel(std::size_t i);
    QLayout *buildButtons();
    void showSetup(const LoggerSetup &shown);
    LoggerSetup shownSetup() const;
    std::optional<std::string> inputProblem() const;
    std::optional<Refusal> storeSetup();
    // Logger `logger`'s columns into setup file `fileName` (the memory as it was, should the file
    // refuse them or a session run).
    static std::optional<Refusal> saveSetup(Station &station, const std::string &fileName,
                                            int logger, const LoggerSetup &shown);
    bool storeOrLeave(bool operatorAsked);
    // Stores (once) and lets the window go; false when the operator keeps it to correct it.
    bool leave(bool operatorAsked);
    void exitClicked();
    void phonesClicked();

    Station &station_;
    int record_ = 0;
    int logger_ = 0;
    std::string setupFileName_; // chosen at opening
    Phase phase_ = Phase::loading;
    QLabel *lblSerialNo_ = nullptr;
    QLabel *lblMN_ = nullptr;
    QLabel *lblSelRow_ = nullptr;
    QLineEdit *txtInterval_ = nullptr;
    std::array<ChannelControls, channelsPerLogger> channels_{};
    QPointer<PhoneBookWindow> phonebook_;
};

} // namespace vantrell
