#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

class QAction;
class QListWidget;
class QPlainTextEdit;
class QPrinter;
class QPushButton;
class QRadioButton;
class QWidget;

namespace platform {
class BrowserView;
}

// The reader window's own commands: files, printing, text size, options, About.
class ReaderCommands : public QObject {
    Q_OBJECT
public:
    struct Controls {
        QWidget* window = nullptr; // dialogs' parent; holds the text-size keys
        QAction* mnFileOpen = nullptr;
        QAction* mnFileSaveAs = nullptr;
        QAction* mnPrint = nullptr;
        QAction* mnFontLarger = nullptr;
        QAction* mnFontSmaller = nullptr;
        QAction* mnFixedWidth = nullptr;
        QAction* mnAbout = nullptr;
        QPushButton* cmdPlus = nullptr;
        QPushButton* cmdMinus = nullptr;
        QRadioButton* btnHTML = nullptr;
        QPlainTextEdit* txtMsg = nullptr;
        QListWidget* lstHeaders = nullptr;
    };
    // The header lines of a printed message.
    struct PrintHeader {
        QString date, from, subject;
    };
    struct Callbacks {
        // An opened file's text: into the debug buffer in place of its text, then shown.
        std::function<void(std::string_view)> replaceDebugText;
        std::function<void(std::string)> showMessage;
        // What printing reads of the message on show.
        std::function<PrintHeader()> printHeader;
        std::function<QString()> browserText;
        std::function<platform::BrowserView*()> browser;
        // The header list's height in twips, and the window's layout after a change of it.
        std::function<double()> listHeight;
        std::function<void(double)> setListHeight;
        std::function<double(int)> pixelsToTwips;
    };

    ReaderCommands(const Controls& controls, Callbacks callbacks);

    void Open();
    // Opens the message file at path as Open does after its dialog.
    void OpenFile(const QString& path);
    void SaveAs();
    void Print();
    void LongerList();  // "+"
    void ShorterList(); // "-"
    void LargerText();
    void SmallerText();
    void FixedWidthFont(bool fixed);
    void About();

    // Height of one header row in twips, measured in the list's font.
    double RowHeight() const;

    // Where printed pages go; tests print to a PDF file instead of a printer.
    std::function<std::unique_ptr<QPrinter>()> printerFactory;

private:
    void printText(const QString& text);
    void printHtml();
    void changeTextSize(int delta);

    Controls c;
    Callbacks callbacks;
    bool printingHtml = false;
};
