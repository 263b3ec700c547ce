#pragma once

class frmPOP;

// The reader window's start-up sequence and what it stores when it closes.
class ReaderSettings {
public:
    explicit ReaderSettings(frmPOP& window);

    void StartUp();
    void SaveSettings();

private:
    frmPOP& window;
};
