#pragma once

#include <QWidget>
#include <filesystem>

#include "results/results_table.h"

class QLineEdit;
class QPushButton;

namespace korvex {

class FileList;
class FolderChooser;
class MessageService;

// Form2: saves the results table as a CSV file. The folder stays as the user left it
// between uses; it starts in the working folder.
class ResultsSaveDialog : public QWidget {
    Q_OBJECT

  public:
    ResultsSaveDialog(const ResultsTable& table, MessageService& messages,
                      const QString& start_folder, QWidget* parent = nullptr);

    // What the results window does before showing it: list refreshed, fields emptied.
    void Open();

  private:
    void Save();  // Command1

    const ResultsTable& table_;
    MessageService& messages_;
    FolderChooser* folder_ = nullptr;
    FileList* files_ = nullptr;       // File2
    QLineEdit* comment_ = nullptr;    // Text2
    QLineEdit* file_name_ = nullptr;  // Text1
    QPushButton* ok_ = nullptr;       // Command1
};

// Reads the results file at `path` into `table`, replacing it only when the whole file
// could be read; otherwise beeps, shows the read dialog's warning and leaves the table.
// Returns whether the table was replaced.
bool ReadResultsInto(ResultsTable& table, MessageService& messages,
                     const std::filesystem::path& path);

// Form3: reads a results table from a CSV file, replacing the current one only when the
// whole file could be read.
class ResultsReadDialog : public QWidget {
    Q_OBJECT

  public:
    ResultsReadDialog(ResultsTable& table, MessageService& messages, const QString& start_folder,
                      QWidget* parent = nullptr);

    // List refreshed, comment emptied, shown.
    void Open();

  signals:
    void tableRead();

  private:
    void Read();  // Command1
    // The comment of the file chosen in the list.
    void ShowComment();

    ResultsTable& table_;
    MessageService& messages_;
    FolderChooser* folder_ = nullptr;
    FileList* files_ = nullptr;     // File1
    QLineEdit* comment_ = nullptr;  // Text2
};

}  // namespace korvex
