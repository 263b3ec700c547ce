// The HTML view with the real browser: what it shows, and that mail cannot make it run
// scripts, fetch remote content when pictures are off, or navigate away. Page loads are
// slow here, so each test checks several things on one load.

#include "decoding/ui/ViewTestSupport.h"
#include "platform/BrowserView.h"

#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineScript>
#include <gtest/gtest.h>
#include <memory>

using platform::MsgAnswer;
using viewtest::Decode;
using viewtest::Retrieved;

namespace {

constexpr int kLoadTimeoutMs = 30000;

// A web server on 127.0.0.1 that answers everything with 404 and counts what reached it.
class CountingServer {
public:
    CountingServer() {
        server.listen(QHostAddress::LocalHost);
        QObject::connect(&server, &QTcpServer::newConnection, [this] {
            while (QTcpSocket* c = server.nextPendingConnection()) {
                ++connections;
                QObject::connect(c, &QTcpSocket::readyRead, c, [this, c] {
                    const QByteArray request = c->readAll();
                    paths << QString::fromLatin1(request.split(' ').value(1));
                    c->write("HTTP/1.0 404 Not Found\r\nContent-Length: 0\r\n\r\n");
                    c->disconnectFromHost();
                });
                QObject::connect(c, &QTcpSocket::disconnected, c, &QObject::deleteLater);
            }
        });
    }
    std::string url(const char* path) const {
        return "http://127.0.0.1:" + std::to_string(server.serverPort()) + path;
    }

    QTcpServer server;
    int connections = 0;
    QStringList paths;
};

// Counts the documents the view finished, so a test can wait for the next one.
class LoadWatcher {
public:
    explicit LoadWatcher(platform::BrowserView* view) {
        QObject::connect(view, &platform::BrowserView::documentComplete, &context,
                         [this] { ++loads; });
    }
    bool waitForLoads(int n) {
        return QTest::qWaitFor([&] { return loads >= n; }, kLoadTimeoutMs);
    }
    int loads = 0;

private:
    QObject context;
};

QString PlainText(platform::BrowserView* view) {
    auto result = std::make_shared<std::optional<QString>>();
    view->page()->toPlainText([result](const QString& text) { *result = text; });
    QTest::qWaitFor([&] { return result->has_value(); }, kLoadTimeoutMs);
    return result->value_or(QStringLiteral("<no answer>"));
}

enum ClickKind { ByScript, ByMouse };

// The page's own scripts are off; the test's run in a world of their own.
QVariant RunScript(platform::BrowserView* view, const QString& code) {
    auto result = std::make_shared<std::optional<QVariant>>();
    view->page()->runJavaScript(code, QWebEngineScript::ApplicationWorld,
                                [result](const QVariant& v) { *result = v; });
    QTest::qWaitFor([&] { return result->has_value(); }, kLoadTimeoutMs);
    return result->value_or(QVariant());
}

QString Element(const char* id) {
    return QStringLiteral("document.getElementById('%1')").arg(QLatin1String(id));
}

// Where an element's middle is, in the view's coordinates.
QPoint ElementCenter(platform::BrowserView* view, const char* id) {
    const QVariantList at =
        RunScript(view, QStringLiteral("(function(){var r=%1.getBoundingClientRect();"
                                       "return [r.left+r.width/2, r.top+r.height/2];})()")
                            .arg(Element(id)))
            .toList();
    return at.size() == 2 ? QPoint(int(at[0].toDouble()), int(at[1].toDouble())) : QPoint();
}

QWidget* InputTarget(platform::BrowserView* view) {
    return view->focusProxy() ? view->focusProxy() : view;
}

void ClickLink(platform::BrowserView* view, const char* id, ClickKind kind = ByScript) {
    if (kind == ByScript) {
        RunScript(view, Element(id) + QStringLiteral(".click()"));
        return;
    }
    QTest::mouseClick(InputTarget(view), Qt::LeftButton, {}, ElementCenter(view, id));
}

class HtmlViewTest : public ::testing::Test {
protected:
    HtmlViewTest() {
        window.show();
        window.Account.SMTPDomain = "example.org";
        window.mnShowHTML->setChecked(true);
        window.mnNoPictures->setChecked(false);
        window.mnClearEmailInIMGTag->setChecked(true);
    }

    // Decodes raw, which must end in the HTML view; Wait() then waits for the browser.
    struct Showing {
        platform::BrowserView* view = nullptr;
        std::unique_ptr<LoadWatcher> watcher;
        bool Wait() { return watcher && watcher->waitForLoads(1); }
    };
    Showing DecodeShowing(std::string raw) {
        Showing s;
        if (platform::BrowserView* before = window.view().browser()) {
            s.watcher = std::make_unique<LoadWatcher>(before);
        }
        Decode(window, std::move(raw));
        s.view = window.view().browser();
        if (s.view && !s.watcher) {
            s.watcher = std::make_unique<LoadWatcher>(s.view); // loads end in the event loop
        }
        return s;
    }
    platform::BrowserView* DecodeAndWait(std::string raw) {
        Showing s = DecodeShowing(std::move(raw));
        EXPECT_TRUE(s.Wait());
        return s.view;
    }

    ScriptedDialogs dialogs;
    frmPOP window;
    CountingServer web;
};

TEST_F(HtmlViewTest, AlternativeMessageShowsItsHtmlSafely) {
    const std::string html = "<p id=x>Rich before</p>"
                             "<script>document.getElementById('x').textContent='script ran';"
                             "document.title='ran'</script>"
                             "<a id=link href=\"" +
                             web.url("/clicked") +
                             "\">link</a> "
                             "<a id=blank target=_blank href=\"" +
                             web.url("/new-window") +
                             "\">new</a> "
                             "<a id=file href=\"file:///etc/passwd\">file</a> "
                             "<img src=\"" +
                             web.url("/pixel.gif?id=7") + "\">";
    Showing showing = DecodeShowing(
        Retrieved({"Content-Type: multipart/alternative; boundary=\"=_alt_5c\"", "", "--=_alt_5c",
                   "Content-Type: text/plain", "", "Plain version", "--=_alt_5c",
                   "Content-Type: text/html", "", html, "--=_alt_5c--"}));
    platform::BrowserView* view = showing.view;
    ASSERT_NE(view, nullptr);
    // The query-string picture was taken out, and the user is told.
    EXPECT_EQ(window.Browser.RemovedTags, "\r\n<img src=\"" + web.url("/pixel.gif?id=7") + "\">");
    EXPECT_EQ(window.lblMsg->text(), "Link removed from IMG tag");
    EXPECT_TRUE(window.Session.ClearMsgPending);
    EXPECT_TRUE(window.Timer1->isActive());
    EXPECT_EQ(window.cursor().shape(), Qt::WaitCursor);
    ASSERT_TRUE(showing.Wait());
    QStringList opened;
    view->setLinkOpener([&](const QUrl& url) { opened << url.toString(); });

    // What the user sees.
    EXPECT_TRUE(window.btnHTML->isChecked());
    EXPECT_EQ(window.lstViewAs->currentText(), "text/html");
    EXPECT_TRUE(window.txtMsg->isHidden());
    EXPECT_TRUE(view->isVisible());
    EXPECT_EQ(view->geometry(), window.txtMsg->geometry()) << "the browser covers the text view";
    const QString shown = PlainText(view);
    EXPECT_TRUE(shown.contains(QStringLiteral("Rich before"))) << shown.toStdString();
    EXPECT_FALSE(shown.contains(QStringLiteral("script ran")));
    EXPECT_NE(view->page()->title(), "ran");
    EXPECT_TRUE(window.Browser.BrowserUsed);
    EXPECT_TRUE(window.Browser.BrowserHTML.starts_with("<html><body><p id=x>"));
    EXPECT_TRUE(window.Browser.BrowserHTML.ends_with("</body></html><pre>"));

    // Pointing at a link shows its address beside the view buttons.
    QTest::mouseMove(InputTarget(view), ElementCenter(view, "link"));
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return window.lblBrowser->text().toStdString() == web.url("/clicked"); },
        kLoadTimeoutMs))
        << window.lblBrowser->text().toStdString();

    // Links go to the desktop's browser; the view stays on the message.
    const QUrl address = view->url();
    ClickLink(view, "file");
    ClickLink(view, "link");
    ASSERT_TRUE(QTest::qWaitFor([&] { return !opened.isEmpty(); }, kLoadTimeoutMs));
    EXPECT_EQ(opened, QStringList{QString::fromStdString(web.url("/clicked"))})
        << "a file: link is not handed on";
    opened.clear();
    ClickLink(view, "link", ByMouse);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !opened.isEmpty(); }, kLoadTimeoutMs));
    EXPECT_EQ(opened, QStringList{QString::fromStdString(web.url("/clicked"))});
    ClickLink(view, "blank", ByMouse);
    ASSERT_TRUE(QTest::qWaitFor([&] { return opened.size() == 2; }, kLoadTimeoutMs));
    EXPECT_EQ(opened[1].toStdString(), web.url("/new-window"));
    EXPECT_EQ(view->url(), address);
    EXPECT_TRUE(PlainText(view).contains(QStringLiteral("Rich before")));
    EXPECT_EQ(web.connections, 0);

    // The timer's upkeep restores the pointer and leaves the status line alone.
    window.lblStatus->setText(QStringLiteral("Ready"));
    window.setCursor(Qt::WaitCursor);
    window.view().BrowserUpkeep();
    EXPECT_EQ(window.cursor().shape(), Qt::ArrowCursor);
    EXPECT_EQ(window.lblStatus->text(), "Ready");

    // Text shows the plain part; HTML comes back without a question.
    window.btnText->click();
    EXPECT_TRUE(view->isHidden());
    EXPECT_FALSE(window.txtMsg->isHidden());
    EXPECT_EQ(window.txtMsg->toPlainText(), "Plain version");
    LoadWatcher again(view);
    window.btnHTML->click();
    EXPECT_TRUE(again.waitForLoads(1));
    EXPECT_TRUE(view->isVisible());
    EXPECT_TRUE(window.txtMsg->isHidden());
    EXPECT_TRUE(PlainText(view).contains(QStringLiteral("Rich before")));
    window.btnAll->click();
    EXPECT_TRUE(view->isHidden());
    EXPECT_TRUE(window.txtMsg->toPlainText().startsWith(QStringLiteral("+OK message follows\n")));
    EXPECT_TRUE(dialogs.messages().empty());
}

TEST_F(HtmlViewTest, NoPicturesLetsNothingLeaveTheView) {
    const std::string html = "<html><head><link rel=stylesheet href=\"" + web.url("/style.css") +
                             "\"></head><body>"
                             "<div style=\"background-image:url('" +
                             web.url("/bg.png") +
                             "')\">Pictures?</div>"
                             "<img src=\"" +
                             web.url("/img.png") +
                             "\">"
                             "<iframe src=\"" +
                             web.url("/frame") + "\"></iframe></body></html>";
    const std::string raw = Retrieved({"Content-Type: text/html", "", html});

    window.mnNoPictures->setChecked(true);
    platform::BrowserView* view = DecodeAndWait(raw);
    ASSERT_NE(view, nullptr);
    EXPECT_TRUE(PlainText(view).contains(QStringLiteral("Pictures?")));
    EXPECT_EQ(web.connections, 0) << web.paths.join(QLatin1Char(' ')).toStdString();
    EXPECT_GE(view->blockedRequestCount(), 3) << "style sheet, background and frame";
    EXPECT_EQ(window.Browser.BrowserHTML.find("<img"), std::string::npos);

    // The same message with pictures allowed does reach the server: the count above means it.
    window.mnNoPictures->setChecked(false);
    window.mnClearEmailInIMGTag->setChecked(false);
    DecodeAndWait(raw);
    EXPECT_TRUE(QTest::qWaitFor([&] { return web.paths.contains(QStringLiteral("/img.png")); },
                                kLoadTimeoutMs))
        << web.paths.join(QLatin1Char(' ')).toStdString();
}

TEST_F(HtmlViewTest, HtmlOverTwoMegabytesInItsCharsetDisplays) {
    std::string html = "<html><body><p>Start caf\xc3\xa9</p><pre>";
    const std::string line(99, 'x');
    while (html.size() < 3 * 1024 * 1024) {
        html.append(line).append("\r\n");
    }
    html.append("</pre><p>The very end</p></body></html>");
    platform::BrowserView* view = DecodeAndWait(
        Retrieved({"Content-Type: multipart/related; boundary=\"=_rel_77f1\"", "", "--=_rel_77f1",
                   "Content-Type: text/html; charset=utf-8", "", html, "--=_rel_77f1--"}));
    ASSERT_NE(view, nullptr);
    const QString shown = PlainText(view);
    EXPECT_TRUE(shown.startsWith(QString::fromUtf8("Start caf\xc3\xa9")))
        << shown.left(40).toStdString();
    EXPECT_TRUE(shown.trimmed().endsWith(QStringLiteral("The very end")));
}

TEST_F(HtmlViewTest, PlainTextShownAsHtmlAfterYesIsAskedOnce) {
    window.mnShowHTML->setChecked(false);
    Decode(window, Retrieved({"Content-Type: text/plain", "", "Plain <b>bold</b> words"}));
    EXPECT_EQ(window.view().browser(), nullptr);

    dialogs.answer(MsgAnswer::Yes);
    window.btnHTML->click();
    platform::BrowserView* view = window.view().browser();
    ASSERT_NE(view, nullptr);
    LoadWatcher watcher(view);
    ASSERT_TRUE(watcher.waitForLoads(1));
    EXPECT_EQ(dialogs.messageTexts(),
              QStringList{"Message does not contain HTML, display text as HTML anyhow?"});
    EXPECT_TRUE(window.btnHTML->isChecked());
    const QString shown = PlainText(view);
    EXPECT_TRUE(shown.contains(QStringLiteral("bold words"))) << shown.toStdString();
    EXPECT_FALSE(shown.contains(QStringLiteral("Plain"))) << "text before the first tag is lost";

    window.btnText->click();
    EXPECT_TRUE(window.txtMsg->toPlainText().contains(QStringLiteral("<b>bold</b>")));
    window.btnHTML->click();
    ASSERT_TRUE(watcher.waitForLoads(2));
    EXPECT_EQ(dialogs.messages().size(), 1u) << "asked only once per message";
}

TEST_F(HtmlViewTest, EmptyHtmlIsReported) {
    dialogs.answer(MsgAnswer::Ok);
    window.view().DisplayHTML("");
    EXPECT_EQ(dialogs.messageTexts(), QStringList{"Message empty"});
    EXPECT_EQ(window.view().browser(), nullptr);
}

TEST(BrowserViewLinks, OnlyWebAndMailLinksAreHandedOn) {
    struct Row {
        const char* url;
        bool openable;
    };
    const Row rows[] = {
        {"http://example.org/a", true},       {"https://example.org/a", true},
        {"mailto:someone@example.org", true}, {"HTTPS://EXAMPLE.ORG/", true},
        {"file:///etc/passwd", false},        {"javascript:alert(1)", false},
        {"ftp://example.org/x", false},       {"corvane-message:message/1", false},
        {"data:text/html,hi", false},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(platform::BrowserView::isOpenableLink(QUrl(QString::fromLatin1(row.url))),
                  row.openable)
            << row.url;
    }
}

} // namespace
