#pragma once

#include <QWidget>
#include <array>
#include <memory>

#include "engine/engine_state.h"
#include "exposure/exposure_form.h"

class QComboBox;
class QLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace korvex {

struct BeamCurves;
class BeamPlotWindow;
class DeviceDialog;
class ExitConfirmation;
class FileList;
class MascotPicture;
class MessageService;

// Form1: the start window, where one calculation case is put together in three steps:
// pick the device, enter the exposure conditions, calculate. Its handlers work on the
// shared engine state; the calculation itself is the driver's.
class MainWindow : public QWidget {
    Q_OBJECT

  public:
    MainWindow(EngineState& state, MessageService& messages, QWidget* parent = nullptr);
    ~MainWindow() override;

    // The device dialog, once create-new has made it (a window of its own).
    DeviceDialog* DeviceDialogWindow() const { return device_dialog_.get(); }

    // The spectrum and depth-dose window, once CommandBeamPlots has opened it.
    BeamPlotWindow* BeamPlots() const { return beam_plot_window_.get(); }

    // Opened again when the results table is cleared, closed while a result may not be added.
    void SetAddButtonEnabled(bool enabled);

    DoseModel Model() const { return form_.Model(); }

    // The device chosen in the list (a bare file name), or an empty text.
    QString SelectedDevice() const;
    // Chooses the working folder's device `name` as a click in the list does, loading it
    // again when it is the one chosen already (its file may have been replaced). Returns
    // false when the list does not show that name.
    bool ChooseDevice(const QString& name);

    // Start-up without a stored user name: the welcome button shows, and calculating,
    // adding and clearing wait for a name (or a device).
    void ShowWelcome();
    // Start-up with a stored user name.
    void ShowUserNameFound(const QString& caption);
    // A name was registered or the guest chosen: the welcome is over.
    void ShowUserNameChosen(const QString& caption);

  signals:
    // The user chose another dose model.
    void doseModelChanged(DoseModel model);
    // Command3: the result of the last calculation is to go into the results table.
    void addResultRequested();
    // "はい" in the exit confirmation: the program ends now.
    void exitRequested();
    // "線量レポート読込": dose reports are to be read, with the device chosen here (empty
    // when none is).
    void doseReportRequested(const QString& device_file);
    // Command8, the welcome button; a double-click on the mascot Picture1.
    void welcomeRequested();
    void userNameChangeRequested();

  private:
    // Combo2: the dose model of every calculation from now on, stored in the working
    // folder; a result on show is calculated again by it.
    void ChooseModel(DoseModel model);
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

    // Building the widgets (main_window_widgets.cpp).
    void BuildWindow();
    QLayout* BuildHeader();
    QWidget* BuildDeviceBox();
    QWidget* BuildInputBox();
    QWidget* BuildResultBox();
    QLayout* BuildBottomRow();
    void BuildWelcomeButton();
    void PlaceWelcomeButton();

    // Wiring, start-up and exit (main_window.cpp).
    void ConnectEvents();
    void ConnectFields();
    void ConnectExitConfirmation();
    void StartUp();
    void AskToExit();

    // The device (main_window_device.cpp): the file list's choice, deletion (Command4) and
    // a new device (Command7: the device dialog, reset and shown beside this window).
    void SelectDevice();
    void DeleteDevice();
    void NewDevice();
    void ShowDevice();

    // The exposure and its calculation (main_window_calculation.cpp).
    void ShowInputs();
    void SetInputsEnabled(bool enabled);
    void TakeTexts();
    void StoreField(QLineEdit* field, ExposureField which);
    // Option2 (square) and Option1 (circle).
    void ChooseFieldShape(FieldShapeKind shape);
    // Command2, Command6.
    void Calculate();
    void ShowOutcome(const CalculationOutcome& outcome);
    void ClearResults();
    void ShowModel();

    // The beam's curves (main_window_beam_plots.cpp): CommandBeamPlots beside Label77 opens
    // them for the calculation on show, and an open window follows each new one.
    QPushButton* BuildBeamPlotsButton();
    void UpdateBeamPlots(bool calculation_on_show);
    void OpenBeamPlots();

    EngineState& state_;
    MessageService& messages_;
    ExposureForm form_;
    ExitConfirmation* exit_confirmation_ = nullptr;
    std::unique_ptr<DeviceDialog> device_dialog_;  // Form8, made on first use
    bool exiting_ = false;

    FileList* device_list_ = nullptr;           // File1
    QPushButton* delete_button_ = nullptr;      // Command4
    QPushButton* new_device_button_ = nullptr;  // Command7
    QLabel* target_angle_ = nullptr;            // Label23
    QLabel* inherent_filter_ = nullptr;         // Label25
    QLabel* added_aluminium_ = nullptr;         // Label50
    QLabel* added_copper_ = nullptr;            // Label51
    QLabel* filter_material_ = nullptr;         // Label29
    QLabel* filter_thickness_ = nullptr;        // Label26
    QLabel* receptor_distance_ = nullptr;       // Label62
    QLabel* isocentre_distance_ = nullptr;      // Label64
    QLabel* couch_model_ = nullptr;             // CouchModelLabel

    QComboBox* body_site_ = nullptr;         // Combo1
    QLineEdit* tube_voltage_ = nullptr;      // Text5
    QLineEdit* kar_ = nullptr;               // Text14
    QLineEdit* pka_ = nullptr;               // Text15
    QRadioButton* square_option_ = nullptr;  // Option2
    QRadioButton* circle_option_ = nullptr;  // Option1
    QLabel* field_size_name_ = nullptr;      // Label22
    QLabel* field_size_ = nullptr;           // Label65
    QLineEdit* focus_skin_ = nullptr;        // Text9

    QPushButton* calculate_button_ = nullptr;  // Command2
    QPushButton* add_button_ = nullptr;        // Command3
    QPushButton* clear_button_ = nullptr;      // Command6
    QPushButton* exit_button_ = nullptr;       // Command1
    QPushButton* report_button_ = nullptr;     // CommandDoseReport
    std::array<QLabel*, 7> result_labels_{};   // Label68 .. Label74
    QLabel* uncertainty_ = nullptr;            // Label75, beside the skin dose
    QLabel* beam_quality_ = nullptr;           // Label77
    QComboBox* model_choice_ = nullptr;        // Combo2
    QLabel* model_note_ = nullptr;             // Label76: what the model is, in two lines
    bool showing_result_ = false;              // the displays hold a successful calculation
    QPushButton* welcome_button_ = nullptr;    // Command8, over the middle of the window
    MascotPicture* mascot_ = nullptr;          // Picture1

    QPushButton* beam_plots_button_ = nullptr;  // CommandBeamPlots
    std::unique_ptr<BeamCurves> beam_curves_;   // of the calculation on show, else none
    std::unique_ptr<BeamPlotWindow> beam_plot_window_;
};

}  // namespace korvex
