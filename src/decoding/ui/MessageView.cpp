#include "decoding/ui/MessageView.h"

#include "reader/ui/frmPOP.h"

MessageView::MessageView(frmPOP& window) : window(window) {}
