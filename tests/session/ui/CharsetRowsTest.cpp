// Rows and header labels for mail whose sender and subject are written in encoded words:
// the row is measured in characters, so its columns line up with a plain ASCII row.
#include "SessionTestSupport.h"

using namespace sessiontest;

namespace {

// "Jürgen Müller-Lüdenscheidt" (26 characters) in UTF-8 base64, and a subject mixing an
// ISO-8859-1 Q word ("Grüße") with a UTF-8 B word ("Köln").
const char* const kEncodedFrom =
    "=?UTF-8?B?SsO8cmdlbiBNw7xsbGVyLUzDvGRlbnNjaGVpZHQ=?= <j@example.test>";
const char* const kEncodedSubject = "=?ISO-8859-1?Q?Gr=FC=DFe?= aus =?UTF-8?B?S8O2bG4=?=";

const QString kName = QStringLiteral("J\u00fcrgen M\u00fcller-L\u00fcdenscheidt");
const QString kSubject = QStringLiteral("Gr\u00fc\u00dfe aus K\u00f6ln");

PopStep Header(const char* name, const char* value) {
    return PopStep(std::string("S: ") + name + ": " + value);
}

// A two-message listing: the plain first message of the shared mailbox, then one whose
// sender and subject are encoded words.
PopScript ListTwo() {
    const PopScript list = {"C: LIST", "S: +OK 2 messages:", "S: 1 120", "S: 2 130", "S: ."};
    const PopScript top2 = {
        "C: TOP 2 10",
        "S: +OK",
        "S: Date: Tue, 02 Jan 2024 10:00:00 +0000",
        Header("From", kEncodedFrom),
        Header("Subject", kEncodedSubject),
        "S: ",
        "S: .",
    };
    return Join({list, kTop1, top2});
}

class CharsetRows : public SessionTest {};

TEST_F(CharsetRows, EncodedSenderIsCutByCharactersAndKeepsTheMarkColumn) {
    getMail();
    ASSERT_EQ(PlayConversation(*server, Join({kLogin, ListTwo()})), "");
    ASSERT_EQ(status(), QStringLiteral("2 Messages listed"));
    const QStringList listed = rows();
    ASSERT_EQ(listed.size(), 2);
    EXPECT_EQ(listed[0], kRow1);
    const QString encodedRow =
        QStringLiteral("02 Jan 2024 | ") + kName.left(20) + QStringLiteral(".. | |0k ") + kSubject;
    EXPECT_EQ(listed[1], encodedRow);
    // Same columns as the ASCII row: the separators and the mark at character 39.
    for (int column : {11, 12, 13, 36, 37, 38, 39}) {
        EXPECT_EQ(listed[1][column], listed[0][column]) << "column " << column;
    }
    EXPECT_EQ(listed[1].indexOf(QStringLiteral("| |")), listed[0].indexOf(QStringLiteral("| |")));

    // Download it: the "R" lands in the mark column, the labels show the decoded header.
    window.lstHeaders->setCurrentRow(1);
    session().lstHeaders_DblClick();
    ASSERT_EQ(
        PlayConversation(*server, {"C: RETR 2", "S: +OK 130 octets",
                                   "S: Date: Tue, 02 Jan 2024 10:00:00 +0000",
                                   Header("From", kEncodedFrom), Header("Subject", kEncodedSubject),
                                   "S: Content-Type: text/plain; charset=utf-8", "S: ",
                                   "S: Gr\xc3\xbc\xc3\x9f"
                                   "e",
                                   "S: ."}),
        "");
    EXPECT_EQ(status(), QStringLiteral("Message # 2 of 2 Complete"));
    QString marked = encodedRow;
    marked[38] = QLatin1Char('R');
    EXPECT_EQ(rows(), (QStringList{kRow1, marked}));
    EXPECT_EQ(window.lblFrom->text(), kName + QStringLiteral(" <j@example.test>"));
    EXPECT_EQ(window.lblSubject->text(), kSubject);
}

} // namespace
