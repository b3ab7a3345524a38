#include <gtest/gtest.h>

#include "app/TakeName.h"

namespace {

bool Refused(const std::string& base, const std::string& folder = "C:\\Takes\\")
{
    return !BaseNameProblem(folder, base).empty();
}

TEST(TakeName, CharactersFileNamesCannotHoldAreRefusedAndNamed)
{
    EXPECT_FALSE(Refused("Record"));
    EXPECT_FALSE(Refused(""));  // takes 1.wav, 2.wav, ...
    EXPECT_FALSE(Refused("Meeting 10.30 - a, b; c (d) [e] {f} & g'h!"));
    for (const char* bad : {"..\\Escaped", "a/b", "Meeting 10:30", ":stream", "a*", "what?", "say \"hi\"", "<", ">",
                            "a|b"})
        EXPECT_TRUE(Refused(bad)) << bad;
    EXPECT_NE(BaseNameProblem("C:\\", "Meeting 10:30").find("character :"), std::string::npos);
    EXPECT_NE(BaseNameProblem("C:\\", "a|b").find("character |"), std::string::npos);
    EXPECT_NE(BaseNameProblem("C:\\", "tab\there").find("control characters"), std::string::npos);
    EXPECT_TRUE(Refused(std::string("nul\0byte", 8)));
    EXPECT_TRUE(Refused("del\x7f"));
    EXPECT_FALSE(Refused("caf\xe9"));  // letters of the code page are fine
}

TEST(TakeName, NamesThatFormADeviceNameWithTheNumberAreRefused)
{
    for (const char* bad : {"COM", "com", "Lpt", "CON.x", "nul.backup", "AUX .old", "prn.", "com1.", "LPT9.take"})
        EXPECT_TRUE(Refused(bad)) << bad;
    // The number makes these ordinary names: CON1.wav, COM11.wav, ...
    for (const char* fine : {"CON", "NUL", "AUX", "PRN", "COM1", "LPT0", "COMA", "xCOM", "CONSOLE.x", "COM0.x"})
        EXPECT_FALSE(Refused(fine)) << fine;
    EXPECT_NE(BaseNameProblem("C:\\", "com").find("COM1"), std::string::npos);
}

TEST(TakeName, ALongNameIsRefusedWhenTheLongestTakePathWouldNotFitAndTheMessageStaysShort)
{
    const std::string folder = "C:\\Takes\\";  // 9 characters; the longest take adds "999.wav"
    EXPECT_FALSE(Refused(std::string(259 - 9 - 7, 'a'), folder));
    EXPECT_TRUE(Refused(std::string(259 - 9 - 6, 'a'), folder));
    EXPECT_LT(BaseNameProblem(folder, std::string(300, 'x')).size(), 160u);
    EXPECT_EQ(ShortForDisplay(std::string(300, 'x')).size(), 48u);
    EXPECT_EQ(ShortForDisplay("Meeting at 10:30", 10), "Meeting...");
    EXPECT_EQ(ShortForDisplay(std::string(48, 'x')), std::string(48, 'x'));  // just fits: kept whole
    EXPECT_EQ(TakeFileNameFor("Record", 12), "Record12.wav");
}

}  // namespace
