// The device properties dialog: edits one device record at a time (how the station is reached,
// its loggers, schedule times, saving, forwarding and alarm), checks the operator's input and
// stores the record, its file, its phone list row and its schedule marks together or not at all.
#pragma once

#include <QDialog>

#include <array>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QRadioButton;
class QToolButton;
class QPushButton;

namespace vantrell {

class Station;
class PhoneListView;
struct DeviceRecord;

class PropertiesDialog : public QDialog {
    Q_OBJECT

public:
    PropertiesDialog(Station &station, PhoneListView &list, QWidget *parent);

    // Shows record `station.selectedDevice` (0 counts as 1).
    void loadRecord();
    int record() const { return record_; }

private:
    void buildControls();
    QWidget *buildTop();
    QWidget *buildCommunication();
    QWidget *buildDevice();
    QWidget *buildSerials();
    QWidget *buildDescription();
    QWidget *buildSchedules();
    QWidget *buildSaving();
    QWidget *buildForward();
    QWidget *buildAlarm();
    QWidget *buildCommands();
    void connectReactions();
    void connectCommands();

    void fillLists();
    void loadCommunication(const DeviceRecord &record);
    void loadForward(const DeviceRecord &record);
    void storeInto(DeviceRecord &record) const;

    void chooseLocal();
    void chooseRemote();
    void networkToggled(bool ticked);
    void switchToggled(bool ticked);
    void forwardToggled(bool ticked);
    void forwardTypeChosen();
    void savingChosen();

    bool codeCommunication();
    bool checkTexts();
    bool checkInput();
    bool checkForward();
    bool refuse(const QString &text);
    int targetSlot();
    void insertRecord();
    void deleteRecord();
    void clearForDelete();
    // Stores the edited record into slot `slot`, its file, the phone list and the marks; on a
    // failed save the slot and the selection are put back as they were.
    bool storeRecord(int slot);
    void page(int step);
    void openSetup(int logger);
    void openFolderPicker();

    Station &station_;
    PhoneListView &list_;
    // The record on show. The phone list may select another row while the dialog is open; what
    // the operator edits still goes back into the record it came from.
    int record_ = 1;

    QCheckBox *chkActive_ = nullptr;
    QLabel *lblSelRow_ = nullptr;
    QToolButton *cmdPrevious_ = nullptr;
    QToolButton *cmdNext_ = nullptr;
    std::array<QRadioButton *, 2> optCommType_{};
    std::array<QGroupBox *, 2> frameComm_{};
    QCheckBox *chkNetwork_ = nullptr;
    QComboBox *cmbNetwork_ = nullptr;
    QComboBox *cmbSection_ = nullptr;
    QLineEdit *txtPhone_ = nullptr;
    QCheckBox *chkOutLine_ = nullptr;
    QComboBox *cmbOutline_ = nullptr;
    QComboBox *cmbDevice_ = nullptr;
    QCheckBox *chkSwitch_ = nullptr;
    std::array<QLabel *, 9> lblSN_{};    // 1..8
    std::array<QLineEdit *, 9> txtSN_{}; // 1..8
    std::array<QPushButton *, 9> cmdSetup_{};
    QLineEdit *txtDescription_ = nullptr;
    std::array<QCheckBox *, 4> chkTime_{};
    std::array<QLabel *, 4> lblTime_{};
    std::array<QRadioButton *, 2> optSaving_{};
    QGroupBox *frameMemory_ = nullptr;
    QCheckBox *chkMemory_ = nullptr;
    QCheckBox *chkFixTime_ = nullptr;
    QCheckBox *chkForward_ = nullptr;
    std::array<QRadioButton *, 2> optFdType_{};
    QButtonGroup *fdTypeGroup_ = nullptr;
    QGroupBox *frameForwardTop_ = nullptr;
    QGroupBox *frameMail_ = nullptr;
    QGroupBox *frameFtp_ = nullptr;
    QLineEdit *txtSMTPServer_ = nullptr;
    QLineEdit *txtMail_ = nullptr;
    QLineEdit *txtAddress_ = nullptr;
    QLineEdit *txtUser_ = nullptr;
    QLineEdit *txtPass_ = nullptr;
    QLineEdit *txtDirectory_ = nullptr;
    QCheckBox *chkAlarm_ = nullptr;
    std::array<QRadioButton *, 2> optAlarm_{};
    QLineEdit *txtAlarm_ = nullptr;
};

} // namespace vantrell
