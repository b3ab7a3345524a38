#include <gtest/gtest.h>

#include "framework/Layout.h"

TEST(LayoutParser, ReadsNestedObjectsAndEveryValueKind)
{
    TLayoutObject root = ParseLayout(R"(
# comment
TForm1 Form1 {
  Caption = "Tape \"Wing\"\\"   // trailing comment
  ClientWidth = 373
  Color = 0x808000
  Offset = -5
  Atten = 1.5
  BorderStyle = bsDialog
  Font.Style = [fsBold, fsItalic]
  Empty = []
  Icon = file("TAPEWING_ICO")
  Long = "first " "second"
  TEdit Edit1 { Left = 186 }
  TPopupMenu PopupMenu1 {
    TMenuItem Quit1 { Caption = "&Quit" }
  }
})");
    EXPECT_EQ(root.ClassName, "TForm1");
    EXPECT_EQ(root.Name, "Form1");
    ASSERT_EQ(root.Properties.size(), 10u);
    EXPECT_EQ(root.Properties[0].Value.AsString(), "Tape \"Wing\"\\");
    EXPECT_EQ(root.Properties[1].Value.AsInt(), 373);
    EXPECT_EQ(root.Properties[2].Value.AsColor(), 0x808000);
    EXPECT_EQ(root.Properties[3].Value.AsInt(), -5);
    EXPECT_DOUBLE_EQ(root.Properties[4].Value.AsFloat(), 1.5);
    EXPECT_EQ(root.Properties[5].Value.AsIdent(), "bsDialog");
    EXPECT_EQ(root.Properties[6].Name, "Font.Style");
    EXPECT_EQ(root.Properties[6].Value.Items, (std::vector<std::string>{"fsBold", "fsItalic"}));
    EXPECT_TRUE(root.Properties[7].Value.Items.empty());
    EXPECT_EQ(root.Properties[8].Value.kind, TLayoutValue::kBinary);
    EXPECT_EQ(root.Properties[8].Value.Str, "TAPEWING_ICO");
    EXPECT_EQ(root.Properties[9].Value.AsString(), "first second");
    ASSERT_EQ(root.Children.size(), 2u);
    EXPECT_EQ(root.Children[1].Children[0].Name, "Quit1");
    EXPECT_EQ(root.Children[1].Children[0].Properties[0].Value.AsString(), "&Quit");
}

TEST(LayoutParser, WritesWhatItReads)
{
    const std::string text = "TForm1 Form1 {\n  Caption = \"a\\\\b\\\"c\\x01\"\n  Width = 10\n  Style = [fsBold]\n"
                             "  Icon = file(\"X\")\n  TEdit Edit1 {\n    Left = 1\n  }\n}\n";
    EXPECT_EQ(WriteLayout(ParseLayout(text)), text);
}

TEST(LayoutParser, ReportsTheLineOfASyntaxError)
{
    try {
        ParseLayout("TForm1 Form1 {\n  Caption = \"ok\"\n  Width = \n}\n");
        FAIL() << "no error";
    } catch (const ELayoutError& e) {
        EXPECT_NE(std::string(e.what()).find("line 4"), std::string::npos) << e.what();
    }
    EXPECT_THROW(ParseLayout("TForm1 Form1 {\n  Caption = \"unterminated\n}"), ELayoutError);
    EXPECT_THROW(ParseLayout("TForm1 Form1 {"), ELayoutError);
    EXPECT_THROW(ParseLayout("TForm1 Form1 { } extra"), ELayoutError);
    EXPECT_THROW(ParseLayout("TForm1 Form1 { X = 12abc }"), ELayoutError);
    EXPECT_THROW(ParseLayout("TForm1 Form1 { X = \"\\q\" }"), ELayoutError);
}

TEST(LayoutValue, RefusesTheWrongKind)
{
    TLayoutObject root = ParseLayout("T A { S = \"x\" I = 3 B = True C = clTeal }");
    const auto& p = root.Properties;
    EXPECT_THROW(p[0].Value.AsInt(), ELayoutError);
    EXPECT_THROW(p[1].Value.AsString(), ELayoutError);
    EXPECT_TRUE(p[2].Value.AsBool());
    EXPECT_THROW(p[1].Value.AsBool(), ELayoutError);
    EXPECT_EQ(p[3].Value.AsColor(), clTeal);
    EXPECT_THROW(p[0].Value.AsColor(), ELayoutError);
}

TEST(LayoutParser, NumbersInEveryNotation)
{
    TLayoutObject root = ParseLayout("T A {\n a = 0x1F\n b = 0XfF\n c = -0x10\n d = +7\n e = 1e3\n f = 2.5E-1\n"
                                     " g = 3.\n h = -4.25e+1\n i = 0\n}");
    const auto& p = root.Properties;
    ASSERT_EQ(p.size(), 9u);
    EXPECT_EQ(p[0].Value.AsInt(), 31);
    EXPECT_EQ(p[1].Value.AsInt(), 255);
    EXPECT_EQ(p[2].Value.AsInt(), -16);
    EXPECT_EQ(p[3].Value.AsInt(), 7);
    EXPECT_EQ(p[4].Value.kind, TLayoutValue::kFloat);
    EXPECT_DOUBLE_EQ(p[4].Value.AsFloat(), 1000.0);
    EXPECT_DOUBLE_EQ(p[5].Value.AsFloat(), 0.25);
    EXPECT_DOUBLE_EQ(p[6].Value.AsFloat(), 3.0);
    EXPECT_DOUBLE_EQ(p[7].Value.AsFloat(), -42.5);
    EXPECT_EQ(p[8].Value.kind, TLayoutValue::kInteger);
    // Each property knows its line, for the loader's messages.
    EXPECT_EQ(p[0].Line, 2);
    EXPECT_EQ(p[8].Line, 10);
    EXPECT_THROW(ParseLayout("T A { x = 1.2.3 }"), ELayoutError);
    EXPECT_THROW(ParseLayout("T A { x = 0x }"), ELayoutError);
    EXPECT_THROW(ParseLayout("T A { x = - }"), ELayoutError);
}

TEST(LayoutParser, StringEscapesSetsAndNames)
{
    TLayoutObject root = ParseLayout("T A {\n"
                                     "  s = \"tab\\tcr\\rnl\\nA\\x41\\x7e\"\n"
                                     "  Font_2.Sub.Name = [ one , two_2,three ]\n"
                                     "  e = \"\"\n"
                                     "  f = file( \"IMG\" )\n"
                                     "  T B { }\n"
                                     "  # a comment between objects { not parsed\n"
                                     "  T C { x = y }\n"
                                     "}");
    const auto& p = root.Properties;
    ASSERT_EQ(p.size(), 4u);
    EXPECT_EQ(p[0].Value.AsString(), "tab\tcr\rnl\nAA~");
    EXPECT_EQ(p[1].Name, "Font_2.Sub.Name");
    EXPECT_EQ(p[1].Value.kind, TLayoutValue::kSet);
    EXPECT_EQ(p[1].Value.Items, (std::vector<std::string>{"one", "two_2", "three"}));
    EXPECT_EQ(p[2].Value.AsString(), "");
    EXPECT_EQ(p[3].Value.Str, "IMG");
    ASSERT_EQ(root.Children.size(), 2u);
    EXPECT_EQ(root.Children[1].Line, 8);
    EXPECT_EQ(root.Children[1].Properties[0].Value.AsIdent(), "y");

    for (const char* bad : {"T A { s = \"\\x4\" }", "T A { s = \"\\xg1\" }", "T A { s = \"end\\", "T A { s = \"a\nb\" }",
                            "T A { s = [a b] }", "T A { s = [a,] }", "T A { f = file(X) }", "T A { f = file(\"X\" }",
                            "T A { f = image(\"X\") }",
                            "T A { 1x = 2 }", "T { }", "T A x = 1 }", "T A { x = }"})
        EXPECT_THROW(ParseLayout(bad), ELayoutError) << bad;
}

TEST(LayoutParser, WritesControlCharactersAndNestingAsTheParserReadsThem)
{
    TLayoutObject root;
    root.ClassName = "TForm1";
    root.Name = "Form1";
    TLayoutProperty caption;
    caption.Name = "Caption";
    caption.Value.kind = TLayoutValue::kString;
    caption.Value.Str = std::string("a\tb\rc\nd\x1f\x7f", 9);
    root.Properties.push_back(caption);
    TLayoutProperty style;
    style.Name = "Style";
    style.Value.kind = TLayoutValue::kSet;
    style.Value.Items = {"fsBold", "fsItalic"};
    root.Properties.push_back(style);
    TLayoutProperty ratio;
    ratio.Name = "Ratio";
    ratio.Value.kind = TLayoutValue::kFloat;
    ratio.Value.Str = "0.5";
    root.Properties.push_back(ratio);
    TLayoutObject inner;
    inner.ClassName = "TPanel";
    inner.Name = "P";
    TLayoutObject innermost;
    innermost.ClassName = "TEdit";
    innermost.Name = "E";
    inner.Children.push_back(innermost);
    root.Children.push_back(inner);
    const std::string text = WriteLayout(root);
    EXPECT_EQ(text, "TForm1 Form1 {\n  Caption = \"a\\tb\\rc\\nd\\x1F\x7f\"\n  Style = [fsBold, fsItalic]\n"
                    "  Ratio = 0.5\n  TPanel P {\n    TEdit E {\n    }\n  }\n}\n");
    EXPECT_EQ(ParseLayout(text).Properties[0].Value.AsString(), caption.Value.Str);
}
