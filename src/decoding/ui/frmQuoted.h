#pragma once

#include <QWidget>

class QLabel;
class QPlainTextEdit;
class QPushButton;

// "Quoted Text Buffer": the working text of the quoted-printable decoder, for the curious.
// Created (hidden) when the decoder first writes to it; destroyed with its text when closed.
class frmQuoted : public QWidget {
    Q_OBJECT
public:
    explicit frmQuoted(QWidget* owner = nullptr);
    ~frmQuoted() override;

    QPlainTextEdit* txtMsg = nullptr;
    QPushButton* cmdSave = nullptr;
    QLabel* lblMsg = nullptr;

    // Replaces the buffer's text (Windows-1252 working text of the decoder).
    void setText(const QString& text);
    // Writes the whole text, followed by CR LF, to a file the user picks.
    void cmdSave_Click();

    // Position and size in twips, as the settings store holds them.
    QRectF geometryTwips() const;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void placeFromSettings();
    void saveToSettings() const;
    void layoutControls();
    int toPixels(double twips) const;
    double toTwips(int pixels) const;

    bool saved = false;
};
