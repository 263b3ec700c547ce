#include "reader/ui/ReaderCommands.h"

#include "reader/ui/frmPOP.h"

ReaderCommands::ReaderCommands(frmPOP& window) : window(window) {}
