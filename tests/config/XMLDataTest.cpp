#include "config/XMLData.h"

#include "ConfigStation.h"
#include "config/ConfigError.h"

#include <gtest/gtest.h>

namespace vantrell {
namespace {

using test::readBytes;
using test::TempFolder;
using test::writeBytes;

const RecordLayout deviceLike{std::pair{0, 50}, std::size_t{45}, false};
const std::string declaration = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";

// A document that did not load holds no records, even those read before the damage, and is never
// saved over its file.
TEST(XMLData, ADocumentThatDidNotLoadIsNeverSaved) {
    TempFolder folder;
    const auto file = folder / "prop.xml";
    const std::string damaged = declaration + "<root><r place=\"1\"/><r/></root>";
    writeBytes(file, damaged);
    XMLData document(file, deviceLike);
    EXPECT_EQ(document.load().problem, FileProblem::noPlace);
    EXPECT_TRUE(document.records().empty());
    EXPECT_TRUE(document.save().failed());
    EXPECT_EQ(readBytes(file), damaged);
}

TEST(XMLData, OnlyTheValueWrittenChangesItsBytes) {
    const auto wide = [](const std::string &ascii) {
        std::string out = "\xFF\xFE";
        for (char c : ascii)
            out += {c, '\0'};
        return out;
    };
    const std::string wideFile = "<?xml version=\"1.0\" encoding=\"UTF-16\"?>\n<root>\r\n<r "
                                 "place=\"1\"><v>0</v><v>old</v></r>\r\n</root>\r\n";
    const struct {
        const char *legend;
        std::string before;
        const char *first;      // value 0 of place 1, as read (UTF-8)
        std::string after = {}; // value 1 of place 1 set to "new"; none: its "old" replaced
    } cases[] = {
        {"tabs and line feeds",
         declaration + "<root>\n\t<r place=\"1\">\n\t\t<v>0</v>\n\t\t<v>old</v>\n\t</r>\n</root>\n",
         "0"},
        {"carriage returns of a Windows installation",
         "<?xml version=\"1.0\"?>\r\n<root>\r\n<r "
         "place=\"1\"><v>0</v><v>old</v></r>\r\n</root>\r\n",
         "0"},
        {"comments, other attributes and escaped text kept",
         declaration + "<!-- top -->\n<root a=\"b\">\n<!-- c -->\n<r id=\"k\" place=\"1\"><v>a "
                       "&amp; b &lt; c</v><v>old</v></r>\n</root>",
         "a & b < c"},
        {"byte order mark kept",
         "\xEF\xBB\xBF" + declaration + "<root><r place=\"1\"><v>0</v><v>old</v></r></root>\n",
         "0"},
        {"Latin-1 file stays Latin-1",
         "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<root><r place=\"1\"><v>25\xB0"
         "C</v><v>old</v></r></root>\n",
         "25\xC2\xB0"
         "C"},
        {"short record gets the missing value, indented like its last one",
         declaration + "<root>\n\t<r place=\"1\">\n\t\t<v>0</v>\n\t</r>\n</root>\n", "0",
         declaration +
             "<root>\n\t<r place=\"1\">\n\t\t<v>0</v>\n\t\t<v>new</v>\n\t</r>\n</root>\n"},
        {"record without values", declaration + "<root><r place=\"1\"></r></root>", "",
         declaration + "<root><r place=\"1\"><value></value><value>new</value></r></root>"},
        {"UTF-16 file stays UTF-16", wide(wideFile), "0",
         wide(test::replaced(wideFile, "old", "new"))},
    };
    for (const auto &c : cases) {
        TempFolder folder;
        const auto file = folder / "f.xml";
        writeBytes(file, c.before);
        XMLData untouched(file, deviceLike);
        ASSERT_FALSE(untouched.load()) << c.legend;
        ASSERT_FALSE(untouched.save()) << c.legend;
        EXPECT_EQ(readBytes(file), c.before) << c.legend << ": load and save changed the file";

        XMLData document(file, deviceLike);
        ASSERT_FALSE(document.load()) << c.legend;
        EXPECT_EQ(document.firstRecord(1)->value(0), c.first) << c.legend;
        document.firstRecord(1)->setValue(1, "new");
        ASSERT_FALSE(document.save()) << c.legend;
        EXPECT_EQ(readBytes(file),
                  c.after.empty() ? test::replaced(c.before, "old", "new") : c.after)
            << c.legend;
    }
}

} // namespace
} // namespace vantrell
