// The real browser: what it shows, and that mail cannot run scripts, fetch remote content
// with pictures off, or navigate away. Loads are slow, so each test checks much on one.

#include "decoding/ui/ViewTestSupport.h"
#include "platform/BrowserView.h"

#include <QBuffer>
#include <QImage>
#include <QLabel>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTest>
#include <QWebEnginePage>
#include <QWebEngineScript>
#include <gtest/gtest.h>
#include <memory>

using platform::MsgAnswer;
using viewtest::Retrieved;
using viewtest::Show;

namespace {

constexpr int kLoadTimeoutMs = 30000;

// Waits for the answer of an asynchronous page query.
template <class T, class Ask> T Answer(Ask ask) {
    auto result = std::make_shared<std::optional<T>>();
    ask([result](const T& value) { *result = value; });
    (void)QTest::qWaitFor([&] { return result->has_value(); }, kLoadTimeoutMs);
    return result->value_or(T());
}

QString PlainText(platform::BrowserView* view) {
    return Answer<QString>([&](auto done) { view->page()->toPlainText(done); });
}

// The page's own scripts are off; the test's run in a world of their own.
QVariant RunScript(platform::BrowserView* view, const QString& code) {
    return Answer<QVariant>([&](auto done) {
        view->page()->runJavaScript(code, QWebEngineScript::ApplicationWorld, done);
    });
}

// What a label paints of itself, on white.
QImage Drawn(QLabel& label) {
    QImage image(label.size(), QImage::Format_RGB32);
    image.fill(Qt::white);
    label.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return image;
}

class HtmlViewTest : public ::testing::Test {
protected:
    HtmlViewTest() {
        window.show();
        window.Account.SMTPDomain = "example.org";
        window.mnShowHTML->setChecked(true);
        window.mnNoPictures->setChecked(false);
        window.mnClearEmailInIMGTag->setChecked(true);
        web.listen(QHostAddress::LocalHost);
        QObject::connect(&web, &QTcpServer::newConnection, [this] {
            while (QTcpSocket* c = web.nextPendingConnection()) {
                ++connections;
                c->deleteLater();
            }
        });
    }
    std::string url(const char* path) const {
        return "http://127.0.0.1:" + std::to_string(web.serverPort()) + path;
    }
    // Shows raw, which must end in the HTML view, and waits for the page.
    platform::BrowserView* ShowAndWait(std::string raw) {
        platform::BrowserView* view = &window.view().ensureBrowser();
        QSignalSpy loaded(view, &platform::BrowserView::documentComplete);
        QSignalSpy shown(&window.view(), &MessageView::shown);
        Show(window, std::move(raw));
        EXPECT_TRUE(loaded.wait(kLoadTimeoutMs));
        EXPECT_EQ(shown.count(), 1) << "replying and printing are told once per message";
        return view;
    }

    ScriptedDialogs dialogs;
    frmPOP window;
    QTcpServer web;
    int connections = 0;
};

TEST_F(HtmlViewTest, AlternativeMessageShowsItsHtmlSafely) {
    const std::string html =
        "<p id=x>Rich before \xe2\x82\xac</p><script>document.getElementById('x').textContent="
        "'script ran'</script><a id=link href=\"" +
        url("/clicked") + "\">link</a> <a id=blank target=_blank href=\"" + url("/new") +
        "\">new</a> <a id=file href=\"file:///etc/passwd\">file</a> <img src=\"" +
        url("/pixel.gif?id=7") + "\">";
    platform::BrowserView* view = ShowAndWait(
        Retrieved({"Content-Type: multipart/alternative; boundary=\"=_alt_5c\"", "", "--=_alt_5c",
                   "Content-Type: text/plain", "", "Plain version", "--=_alt_5c",
                   "Content-Type: text/html; charset=utf-8", "", html, "--=_alt_5c--"}));
    // The query-string picture was taken out, and the user is told.
    EXPECT_EQ(window.view().removedTags(), "\r\n<img src=\"" + url("/pixel.gif?id=7") + "\">");
    EXPECT_EQ(window.lblMsg->text(), "Link removed from IMG tag");
    EXPECT_TRUE(window.btnHTML->isChecked());
    EXPECT_TRUE(window.txtMsg->isHidden());
    EXPECT_EQ(view->geometry(), window.txtMsg->geometry()) << "the browser covers the text view";
    const QString shown = PlainText(view);
    EXPECT_TRUE(shown.contains(QStringLiteral("Rich before \u20ac"))) << shown.toStdString();
    EXPECT_FALSE(shown.contains(QStringLiteral("script ran")));

    QWidget* input = view->focusProxy() ? view->focusProxy() : view;
    const auto pointAt = [&](const char* id) {
        const QVariantList at =
            RunScript(view, QStringLiteral("(function(){var r=document.getElementById('%1')."
                                           "getBoundingClientRect();return [r.x+2, r.y+2];})()")
                                .arg(QLatin1String(id)))
                .toList();
        return at.size() == 2 ? QPoint(at[0].toInt(), at[1].toInt()) : QPoint();
    };
    // The address of the link pointed at is shown beside the view buttons, as it is.
    const QString address = QStringLiteral("http://host/x?a=&lt;b&gt;bold");
    Q_EMIT view->statusTextChanged(address);
    QLabel plain(address);
    plain.setTextFormat(Qt::PlainText);
    plain.setFont(window.lblBrowser->font());
    plain.setAlignment(window.lblBrowser->alignment());
    plain.resize(window.lblBrowser->size());
    EXPECT_EQ(Drawn(*window.lblBrowser), Drawn(plain)) << "never read as markup";

    // Links go to the desktop's browser; the view stays on the message.
    QStringList opened;
    view->setLinkOpener([&](const QUrl& link) { opened << link.toString(); });
    const QUrl shownUrl = view->url();
    for (const char* id : {"file", "link"}) {
        RunScript(view, QStringLiteral("document.getElementById('%1').click()").arg(id));
    }
    QTest::mouseClick(input, Qt::LeftButton, {}, pointAt("blank")); // a new window needs a user
    ASSERT_TRUE(QTest::qWaitFor([&] { return opened.size() >= 2; }, kLoadTimeoutMs));
    EXPECT_EQ(opened.join(QLatin1Char(' ')).toStdString(), url("/clicked") + " " + url("/new"))
        << "a file: link is not handed on";
    EXPECT_EQ(view->url(), shownUrl);
    EXPECT_EQ(connections, 0);

    // The next message starts with an empty browser status.
    Show(window, Retrieved({"Content-Type: text/plain", "", "Next"}));
    EXPECT_TRUE(window.lblBrowser->text().isEmpty());
}

TEST_F(HtmlViewTest, NoPicturesLetsNothingLeaveTheView) {
    const std::string raw =
        Retrieved({"Content-Type: text/html", "",
                   "<html><head><link rel=stylesheet href=\"" + url("/style.css") +
                       "\"></head><body><div style=\"background-image:url('" + url("/bg.png") +
                       "')\">Pictures?</div><img src=\"" + url("/img.png") + "\"><iframe src=\"" +
                       url("/frame") + "\"></iframe></body></html>"});
    window.mnNoPictures->setChecked(true);
    platform::BrowserView* view = ShowAndWait(raw);
    EXPECT_TRUE(PlainText(view).contains(QStringLiteral("Pictures?")));
    EXPECT_EQ(connections, 0);
    EXPECT_GE(view->blockedRequestCount(), 3) << "style sheet, background and frame";
}

TEST_F(HtmlViewTest, HtmlOverTwoMegabytesInTheCharsetOfItsMetaDisplays) {
    std::string html = "<html><head><meta charset=\"utf-8\"></head><body><p>Start caf\xc3\xa9</p>";
    while (html.size() < 3 * 1024 * 1024) {
        html.append("<p>").append(99, 'x').append("</p>\r\n");
    }
    html.append("<p>The very end</p></body></html>");
    platform::BrowserView* view = ShowAndWait(
        Retrieved({"Content-Type: multipart/related; boundary=\"=_rel_77f1\"", "", "--=_rel_77f1",
                   "Content-Type: text/html", "", html, "--=_rel_77f1--"}));
    const QString shown = PlainText(view);
    EXPECT_TRUE(shown.startsWith(QStringLiteral("Start caf\u00e9")))
        << shown.left(40).toStdString();
    EXPECT_TRUE(shown.trimmed().endsWith(QStringLiteral("The very end")));
}

// Pictures the message carries are shown from its own parts; "No Picture in HTML" refuses
// them as every other picture, and nothing reaches the web.
TEST_F(HtmlViewTest, InlinePicturesComeFromTheMessage) {
    QImage logo(48, 24, QImage::Format_RGB32);
    logo.fill(Qt::darkCyan);
    QBuffer png;
    png.open(QIODevice::WriteOnly);
    ASSERT_TRUE(logo.save(&png, "PNG"));
    const auto message = [&](const std::string& html) {
        return Retrieved({"Content-Type: multipart/related; boundary=\"=_rel_3c\"", "",
                          "--=_rel_3c", "Content-Type: text/html", "", html, "--=_rel_3c",
                          "Content-Type: image/png", "Content-Transfer-Encoding: base64",
                          "Content-ID: <logo@shop>", "", png.data().toBase64().toStdString(),
                          "--=_rel_3c--"});
    };
    const std::string background = "<div style=\"background:url(cid:logo@shop)\">cid</div>"
                                   "<div style=\"background:url(" +
                                   url("/bg.png") + ")\">web</div>";
    platform::BrowserView* view = ShowAndWait(
        message("<img id=logo src=\"cid:logo@shop\"><img id=none src=\"cid:none@shop\">"));
    const auto width = [&](const char* id) {
        return RunScript(view, QStringLiteral("document.getElementById('%1').naturalWidth")
                                   .arg(QLatin1String(id)))
            .toInt();
    };
    EXPECT_EQ(width("logo"), 48);
    EXPECT_EQ(width("none"), 0);
    EXPECT_EQ(view->blockedRequestCount(), 0);

    window.mnNoPictures->setChecked(true);
    ShowAndWait(message("<img id=logo src=\"cid:logo@shop\">" + background));
    EXPECT_TRUE(PlainText(view).contains(QStringLiteral("cid")));
    EXPECT_EQ(RunScript(view, QStringLiteral("document.images.length")).toInt(), 0);
    EXPECT_GE(view->blockedRequestCount(), 2) << "both backgrounds";
    EXPECT_EQ(connections, 0);
}

// With pictures on, the message's parts load only as pictures: an SVG part opened as a
// document in a frame, object or embed could load anything. Remote frames, objects and embeds
// never load. Pictures named by a part's Content-Location come from the message too.
TEST_F(HtmlViewTest, MessagePartsLoadOnlyAsPicturesAndRemoteFramesNever) {
    const std::string svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" "
                            "xmlns:xlink=\"http://www.w3.org/1999/xlink\" width=\"40\" "
                            "height=\"20\"><image xlink:href=\"" +
                            url("/svg-image.png") +
                            "\" width=\"4\" height=\"4\"/><foreignObject>"
                            "<iframe xmlns=\"http://www.w3.org/1999/xhtml\" src=\"" +
                            url("/svg-frame") + "\"/></foreignObject></svg>";
    QImage logo(48, 24, QImage::Format_RGB32);
    logo.fill(Qt::darkGreen);
    QBuffer png;
    png.open(QIODevice::WriteOnly);
    ASSERT_TRUE(logo.save(&png, "PNG"));
    const std::string html =
        "<iframe src=\"cid:art@x\"></iframe><object data=\"cid:art@x\" "
        "type=\"image/svg+xml\"></object><embed src=\"cid:art@x\" type=\"image/svg+xml\">"
        "<iframe src=\"" +
        url("/remote-frame") + "\"></iframe><object data=\"" + url("/remote-object") +
        "\"></object><embed src=\"" + url("/remote-embed") +
        "\"><img id=art src=\"cid:art@x\"><img id=loc src=\"images/logo.png\">";
    platform::BrowserView* view = ShowAndWait(Retrieved(
        {"Content-Type: multipart/related; type=\"text/html\";", " boundary=rel_9", "", "--rel_9",
         "Content-Type: text/html", "", html, "--rel_9", "Content-Type: image/svg+xml",
         "Content-ID: <art@x>", "", svg, "--rel_9", "Content-Type: image/png",
         "Content-Location: images/logo.png", "Content-Transfer-Encoding: base64", "",
         png.data().toBase64().toStdString(), "--rel_9--"}));
    const auto width = [&](const char* id) {
        return RunScript(view, QStringLiteral("document.getElementById('%1').naturalWidth")
                                   .arg(QLatin1String(id)))
            .toInt();
    };
    EXPECT_EQ(width("art"), 40) << "as a picture the SVG part loads";
    EXPECT_EQ(width("loc"), 48);
    EXPECT_EQ(connections, 0) << "no HTTP request left the view";
    EXPECT_GE(view->blockedRequestCount(), 6) << "three cid: documents, three remote ones";
}

} // namespace
