#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <memory>

class QPrinter;
class frmPOP;

// The reader window's own commands: files, printing, text size, options, About.
class ReaderCommands : public QObject {
    Q_OBJECT
public:
    explicit ReaderCommands(frmPOP& window);

    void Open();
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
    void setListHeight(double height);
    void changeTextSize(int delta);

    frmPOP& window;
    bool printingHtml = false;
};
