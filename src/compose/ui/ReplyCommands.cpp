#include "compose/ui/ReplyCommands.h"

#include "reader/ui/frmPOP.h"

ReplyCommands::ReplyCommands(frmPOP& window) : window(window) {}
