#pragma once

#include <QStringList>
#include <QWidget>
#include <string>

#include "merge/MergeSettings.h"

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QScrollArea;
class TAIFileDropPan;
class TClickLabel;
class TOpenDialog;
class TProgressBar;
class TWorksheetComboBox;

// The address that the link label "下载更多免费软件" opens.
inline constexpr char kMakerWebPage[] = "https://excelmerge.example.com/";

// The one window: the target settings, the source list with its commands and the source
// settings, the progress bar and the Execute button. Every value starts from its default at
// each start; nothing is saved.
class TForm_main : public QWidget {
    Q_OBJECT
  public:
    explicit TForm_main(QWidget* parent = nullptr);
    ~TForm_main() override;

    // The merge parameters as the controls hold them (Edit8 is no parameter).
    merge::TMergeSettings CollectMergeSettings() const;

    // Handlers, named after their control and event; each takes the sender first.
    void Button1Click(QObject* Sender);
    void Button2Click(QObject* Sender);
    void Button3Click(QObject* Sender);
    void Button4Click(QObject* Sender);
    void Button5Click(QObject* Sender);
    void Button6Click(QObject* Sender);
    void Button7Click(QObject* Sender);
    void Label16Click(QObject* Sender);
    void AIFileDropPan1DragFile(QObject* Sender, const QStringList& FileList);

    // The controls, named as on the window.
    QScrollArea* ScrollBox = nullptr;
    QWidget* ClientArea = nullptr;
    QGroupBox* GroupBox1 = nullptr;
    QGroupBox* GroupBox2 = nullptr;
    TAIFileDropPan* AIFileDropPan1 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* Label5 = nullptr;
    QLabel* Label6 = nullptr;
    QLabel* Label7 = nullptr;
    QLabel* Label8 = nullptr;
    QLabel* Label9 = nullptr;
    QLabel* Label10 = nullptr;
    QLabel* Label11 = nullptr;
    QLabel* Label12 = nullptr;
    QLabel* Label13 = nullptr;
    QLabel* Label14 = nullptr;
    QLabel* Label15 = nullptr;
    TClickLabel* Label16 = nullptr;
    QLineEdit* Edit1 = nullptr;
    QLineEdit* Edit2 = nullptr;
    QLineEdit* Edit3 = nullptr;
    QLineEdit* Edit4 = nullptr;
    QLineEdit* Edit5 = nullptr;
    QLineEdit* Edit6 = nullptr;
    QLineEdit* Edit7 = nullptr;
    QLineEdit* Edit8 = nullptr;
    QLineEdit* Edit9 = nullptr;
    QLineEdit* Edit10 = nullptr;
    QLineEdit* Edit11 = nullptr;
    QPushButton* Button1 = nullptr;
    QPushButton* Button2 = nullptr;
    QPushButton* Button3 = nullptr;
    QPushButton* Button4 = nullptr;
    QPushButton* Button5 = nullptr;
    QPushButton* Button6 = nullptr;
    QPushButton* Button7 = nullptr;
    QCheckBox* CheckBox1 = nullptr;
    QCheckBox* CheckBox2 = nullptr;
    TWorksheetComboBox* ComboBox1 = nullptr;
    TWorksheetComboBox* ComboBox2 = nullptr;
    QListWidget* ListBox1 = nullptr;
    TProgressBar* ProgressBar1 = nullptr;
    TOpenDialog* OpenDialog1 = nullptr;

  private:
    void CreateControls();
    void BindEvents();
    void SetTabOrder();
};

// The application's main window; the found-file callback of the search reaches the source list
// through it.
extern TForm_main* Form_main;

// The search's callback: appends each found file (kind 0) to the source list of Form_main.
void AddFoundFile(const std::string& path, int kind, bool& stop);
