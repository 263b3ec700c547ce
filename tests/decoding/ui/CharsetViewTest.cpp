// Mail in charsets other than Windows-1252, as the user reads it: in the text view and in the
// browser. Page loads are slow here, so the browser is loaded twice only.

#include "decoding/ui/ViewTestSupport.h"
#include "platform/BrowserView.h"

#include <QPlainTextEdit>
#include <QRadioButton>
#include <QTest>
#include <QWebEnginePage>
#include <gtest/gtest.h>
#include <memory>
#include <optional>

using viewtest::Decode;
using viewtest::Retrieved;

namespace {

constexpr int kLoadTimeoutMs = 30000;

const QString kGruesse = QStringLiteral("Gr\u00fc\u00dfe");

class CharsetView : public ::testing::Test {
protected:
    CharsetView() { window.show(); }

    ScriptedDialogs dialogs;
    frmPOP window;
};

struct TextCase {
    const char* name;
    std::string raw;
    QString expected; // must appear in the text view
};

TEST_F(CharsetView, TextPartsAppearInTheirCharset) {
    window.mnShowHTML->setChecked(false);
    const TextCase cases[] = {
        {"UTF-8 8bit",
         Retrieved({"Content-Type: text/plain; charset=utf-8", "Content-Transfer-Encoding: 8bit",
                    "",
                    "Sch\xc3\xb6ne Gr\xc3\xbc\xc3\x9f"
                    "e"}),
         QStringLiteral("Sch\u00f6ne ") + kGruesse},
        {"UTF-8 base64 in an alternative part",
         Retrieved({"Content-Type: multipart/alternative; boundary=\"=_u8_b64\"", "", "--=_u8_b64",
                    "Content-Type: text/plain; charset=\"UTF-8\"",
                    "Content-Transfer-Encoding: base64", "", "R3LDvMOfZQ==", "--=_u8_b64--"}),
         kGruesse},
        {"ISO-8859-1 quoted-printable",
         Retrieved({"Content-Type: text/plain; charset=ISO-8859-1",
                    "Content-Transfer-Encoding: quoted-printable", "", "Un caf=E9 cr=E8me"}),
         QStringLiteral("Un caf\u00e9 cr\u00e8me")},
        {"KOI8-R",
         Retrieved({"Content-Type: text/plain; charset=koi8-r", "",
                    "\xf0\xd2\xc9\xd7\xc5\xd4, \xcd\xc9\xd2!"}),
         QStringLiteral("\u041f\u0440\u0438\u0432\u0435\u0442, \u043c\u0438\u0440!")},
        {"no charset is Windows-1252",
         Retrieved({"Content-Type: text/plain", "", "\x93quoted\x94 costs \x80 5 \x96 caf\xe9"}),
         QStringLiteral("\u201cquoted\u201d costs \u20ac 5 \u2013 caf\u00e9")},
    };
    for (const TextCase& c : cases) {
        SCOPED_TRACE(c.name);
        Decode(window, c.raw);
        EXPECT_TRUE(window.btnText->isChecked());
        const QString shown = window.txtMsg->toPlainText();
        EXPECT_TRUE(shown.contains(c.expected)) << shown.toStdString();
        EXPECT_FALSE(shown.contains(QChar(0xFFFD))) << shown.toStdString();
    }
    EXPECT_TRUE(dialogs.messages().empty());
}

// The text of the page the browser shows, once it has finished loading.
QString PageText(platform::BrowserView* view) {
    auto result = std::make_shared<std::optional<QString>>();
    view->page()->toPlainText([result](const QString& text) { *result = text; });
    // A page that never answers shows up as "<no answer>" in the failing expectation.
    (void)QTest::qWaitFor([&] { return result->has_value(); }, kLoadTimeoutMs);
    return result->value_or(QStringLiteral("<no answer>"));
}

TEST_F(CharsetView, BrowserShowsUtf8HtmlWhereverItsCharsetIsNamed) {
    window.mnShowHTML->setChecked(true);
    window.mnNoPictures->setChecked(true);
    const TextCase cases[] = {
        {"charset only in Content-Type",
         Retrieved({"Content-Type: text/html; charset=utf-8", "",
                    "<html><body><p>Gr\xc3\xbc\xc3\x9f"
                    "e aus Berlin</p></body></html>"}),
         kGruesse + QStringLiteral(" aus Berlin")},
        {"charset only in the document's meta",
         Retrieved({"Content-Type: text/html", "",
                    "<html><head><meta charset=\"utf-8\"></head><body><p>Gr\xc3\xbc\xc3\x9f"
                    "e aus M\xc3\xbc"
                    "nchen</p></body></html>"}),
         kGruesse + QStringLiteral(" aus M\u00fcnchen")},
    };
    int loads = 0;
    QObject context;
    bool watching = false;
    for (const TextCase& c : cases) {
        SCOPED_TRACE(c.name);
        const int before = loads;
        if (platform::BrowserView* existing = window.view().browser(); existing && !watching) {
            QObject::connect(existing, &platform::BrowserView::documentComplete, &context,
                             [&] { ++loads; });
            watching = true;
        }
        Decode(window, c.raw);
        platform::BrowserView* view = window.view().browser();
        ASSERT_NE(view, nullptr);
        if (!watching) { // the view was made by this decode; its load ends in the event loop
            QObject::connect(view, &platform::BrowserView::documentComplete, &context,
                             [&] { ++loads; });
            watching = true;
        }
        ASSERT_TRUE(QTest::qWaitFor([&] { return loads > before; }, kLoadTimeoutMs));
        EXPECT_TRUE(window.btnHTML->isChecked());
        EXPECT_TRUE(view->isVisible());
        const QString shown = PageText(view);
        EXPECT_TRUE(shown.contains(c.expected)) << shown.toStdString();
        EXPECT_FALSE(shown.contains(QChar(0xFFFD))) << shown.toStdString();
    }
    EXPECT_TRUE(dialogs.messages().empty());
}

} // namespace
