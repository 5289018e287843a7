#include <gtest/gtest.h>

#include <QDateTime>

#include "app/AppVersion.h"
#include "base/PropertyList.h"
#include "support/QtPrinters.h"

namespace brimlet {
namespace {

QByteArray plistDocument(const QByteArray& body) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n" + body +
           "\n</plist>\n";
}

TEST(PropertyListTest, WritesTheAgentDictionaryWithEscapedText) {
    const QVariantMap agent{
        {"RunAtLoad", true},
        {"Label", "com.zorvan.brimlet"},
        {"ProgramArguments", QVariantList{"/Apps/Tom & \"Jerry\" <1>/brimlet"}}};
    const plist::Serialised result = plist::serialise(agent);
    ASSERT_FALSE(result.error);
    EXPECT_EQ(result.document,
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
              "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
              "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
              "<plist version=\"1.0\">\n"
              "<dict>\n"
              "\t<key>Label</key>\n"
              "\t<string>com.zorvan.brimlet</string>\n"
              "\t<key>ProgramArguments</key>\n"
              "\t<array>\n"
              "\t\t<string>/Apps/Tom &amp; \"Jerry\" &lt;1&gt;/brimlet</string>\n"
              "\t</array>\n"
              "\t<key>RunAtLoad</key>\n"
              "\t<true/>\n"
              "</dict>\n"
              "</plist>\n");
    EXPECT_EQ(plist::readDictionary(result.document), agent);
}

TEST(PropertyListTest, RoundTripsEveryValueKind) {
    const QVariantMap values{{"text", "한글 ]]> & done\r\n\tnext"},
                             {"empty", ""},
                             {"no", false},
                             {"count", qlonglong{-42}},
                             {"ratio", 0.1},
                             {"list", QVariantList{}},
                             {"nested", QVariantMap{{"inner", QVariantList{"a", true}}}},
                             {"none", QVariantMap{}}};
    const plist::Serialised result = plist::serialise(values);
    ASSERT_FALSE(result.error);
    EXPECT_EQ(plist::readDictionary(result.document), values);
}

// Text XML cannot carry and values a property list has no type for are refused; documents that
// are not a property list with a dictionary at the root read as nothing.
TEST(PropertyListTest, RefusesWhatItCannotWriteOrRead) {
    for (const QVariant& bad :
         {QVariant(QString(QChar(0xD800))), QVariant(QVariantList{QDateTime::currentDateTime()}),
          QVariant(QVariantMap{{QStringLiteral("key\x02"), true}})}) {
        const plist::Serialised result = plist::serialise(bad);
        EXPECT_TRUE(result.error && result.document.isEmpty()) << bad.typeName();
    }
    for (const QByteArray& bad :
         {QByteArray("not xml at all"), plistDocument("<array><string>x</string></array>"),
          plistDocument("<dict><key>a</key></dict>"),
          plistDocument("<dict><string>b</string></dict>"),
          plistDocument("<dict><key>a</key><integer>seven</integer></dict>"),
          plistDocument("<dict><key>a</key><string>unclosed</dict>"),
          QByteArray("<dict><key>a</key><string>b</string></dict>")}) {
        EXPECT_FALSE(plist::readDictionary(bad)) << bad.toStdString();
    }
}

TEST(AppVersionTest, TakesOnlyTextEntries) {
    const auto entry = [](const QByteArray& value) {
        return plistDocument("<dict><key>CFBundleShortVersionString</key>" + value + "</dict>");
    };
    const struct {
        const char* name;
        std::optional<QByteArray> document;  // nothing: no Info dictionary at all
        QString expected;
    } cases[] = {
        {"no dictionary", std::nullopt, "?"},
        {"no entry", plistDocument("<dict><key>CFBundleVersion</key><string>9</string></dict>"),
         "?"},
        {"integer", entry("<integer>2</integer>"), "?"},
        {"text", entry("<string>1.4.2</string>"), "1.4.2"},
    };
    for (const auto& c : cases) {
        const std::optional<QVariantMap> info =
            c.document ? plist::readDictionary(*c.document) : std::nullopt;
        EXPECT_EQ(versionFromInfo(info), c.expected) << c.name;
    }
}

}  // namespace
}  // namespace brimlet
