#pragma once

#include "settings/WindowGeometry.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <string>
#include <string_view>

class QWidget;
class frmDebug;
namespace session {
struct SessionEvent;
}

// The reader's protocol buffer: the debug window, made hidden when text first arrives, and
// lent to the removed tags of a message for a while.
class DebugBuffer : public QObject {
    Q_OBJECT
public:
    explicit DebugBuffer(QWidget* parent);

    // The debug window, created hidden when asked to and absent.
    frmDebug* window(bool create = false);
    void appendText(const QString& text);
    void appendBytes(std::string_view bytes, int reply = 0, std::size_t expected = 0);
    // A DebugText, DebugBytes or DebugCut event of the session.
    void add(const session::SessionEvent& event);
    void clear();
    void show();
    void close();
    // Shows tags in the debug window modally; its own text comes back when it is closed.
    void showRemovedTags(const std::string& tags);
    settings::WindowGeometry geometry() const;

private:
    QWidget* owner;
    QPointer<frmDebug> debug;
};
