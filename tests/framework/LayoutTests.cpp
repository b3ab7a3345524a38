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
