// The device properties dialog: edits one device record at a time (how the station is reached,
// its loggers, schedule times, saving, forwarding and alarm), checks the operator's input and
// hands the record to the device store. Edits that are not stored are never dropped without
// asking the operator.
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
class DefaultTextBox;
struct DeviceRecord;

class PropertiesDialog : public QDialog {
    Q_OBJECT

public:
    PropertiesDialog(Station &station, PhoneListView &list, QWidget *parent);

    // Shows record `station.selectedDevice` (0 counts as 1).
    void loadRecord();
    int record() const { return record_; }
    // Before the record on show goes away: when it has edits that are not stored, the operator
    // chooses to store them (they are checked as by "Insert record"), drop them, or stay. True
    // when the record may go.
    bool leaveRecord();
    // Shows the "Readings" button, for a station that keeps a journal.
    void offerReadings();
    // The schedule times as they stand now beside the boxes that choose them; a box is offered
    // only where its time is set.
    void showScheduleTimes();

signals:
    // The readings of the record on show are to be shown.
    void readingsRequested(int record);

protected:
    // The close box asks about unsaved edits; a close the program asks for does not wait.
    void closeEvent(QCloseEvent *event) override;
    // Esc does what the close box does.
    void reject() override;

private:
    void buildControls();
    QWidget *buildTop();
    QWidget *buildCommunication();
    QWidget *buildDevice();
    QWidget *buildSerials();
    QWidget *buildDescription();
    QWidget *buildSchedules();
    QWidget *buildSaving();
    QWidget *buildOptions();
    QWidget *buildForward();
    QWidget *buildAlarm();
    QWidget *buildCommands();
    void connectReactions();
    void connectCommands();
    void watchEdits();

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
    bool checkSerialNumbers();
    bool checkInput();
    bool checkForward();
    // Shows a "Data error" box and gives the focus back to the control at fault.
    bool refuse(const char *text, QWidget *atFault);
    int targetSlot();
    bool insertRecord();
    void deleteRecord();
    void clearForDelete();
    // Slot `slot` with the dialog's controls copied over it.
    DeviceRecord editedRecord(int slot) const;
    // `edited` into slot `slot` through the device store, then the phone list and the schedule
    // marks; a save the disk refuses changes nothing. While a session reads the slot's device the
    // store waits for its end, and the dialog says so.
    bool storeRecord(int slot, const DeviceRecord &edited);
    void showWaitingStore();
    void page(int step);
    void exitClicked();
    void openSetup(int logger);
    void openFolderPicker();
    void closeOwnedWindows();

    Station &station_;
    PhoneListView &list_;
    // The record on show. The phone list may select another row while the dialog is open; what
    // the operator edits still goes back into the record it came from.
    int record_ = 1;
    bool edited_ = false; // the operator changed a control since the record was loaded or stored

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
    QWidget *forwardSettings_ = nullptr; // what the cover lies over
    QGroupBox *frameMail_ = nullptr;
    QGroupBox *frameFtp_ = nullptr;
    QLineEdit *txtSMTPServer_ = nullptr;
    QLineEdit *txtMail_ = nullptr;
    DefaultTextBox *txtAddress_ = nullptr;
    QLineEdit *txtUser_ = nullptr;
    QLineEdit *txtPass_ = nullptr;
    DefaultTextBox *txtDirectory_ = nullptr;
    QCheckBox *chkAlarm_ = nullptr;
    std::array<QRadioButton *, 2> optAlarm_{};
    QLineEdit *txtAlarm_ = nullptr;
    QLabel *lblHeld_ = nullptr;
};

} // namespace vantrell
