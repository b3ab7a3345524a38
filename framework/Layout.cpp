#include "framework/Layout.h"

#include <cctype>
#include <cstdlib>

namespace {

class Parser {
public:
    explicit Parser(const std::string& text) : s(text) {}

    TLayoutObject ParseRoot()
    {
        SkipSpace();
        TLayoutObject root = ParseObject();
        SkipSpace();
        if (pos < s.size()) Fail("Unexpected text after the end of the layout");
        return root;
    }

private:
    [[noreturn]] void Fail(const std::string& what)
    {
        throw ELayoutError("Layout line " + std::to_string(line) + ": " + what);
    }

    void SkipSpace()
    {
        while (pos < s.size()) {
            char c = s[pos];
            if (c == '\n') {
                ++line;
                ++pos;
            } else if (c == ' ' || c == '\t' || c == '\r') {
                ++pos;
            } else if (c == '#' || (c == '/' && pos + 1 < s.size() && s[pos + 1] == '/')) {
                while (pos < s.size() && s[pos] != '\n') ++pos;
            } else {
                break;
            }
        }
    }

    static bool IdentStart(char c) { return std::isalpha(static_cast<unsigned char>(c)) || c == '_'; }
    static bool IdentChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

    std::string Ident()
    {
        SkipSpace();
        if (pos >= s.size() || !IdentStart(s[pos])) Fail("Name expected");
        std::size_t start = pos;
        while (pos < s.size() && IdentChar(s[pos])) ++pos;
        return s.substr(start, pos - start);
    }

    std::string DottedName()
    {
        std::string name = Ident();
        while (pos < s.size() && s[pos] == '.') {
            ++pos;
            name += "." + Ident();
        }
        return name;
    }

    void Expect(char c)
    {
        SkipSpace();
        if (pos >= s.size() || s[pos] != c) Fail(std::string("'") + c + "' expected");
        ++pos;
    }

    bool Peek(char c)
    {
        SkipSpace();
        return pos < s.size() && s[pos] == c;
    }

    TLayoutObject ParseObject()
    {
        TLayoutObject obj;
        obj.Line = line;
        obj.ClassName = Ident();
        obj.Name = Ident();
        Expect('{');
        for (;;) {
            SkipSpace();
            if (pos >= s.size()) Fail("'}' expected");
            if (s[pos] == '}') {
                ++pos;
                return obj;
            }
            // Either "Name = value" or "Class Name {".
            std::size_t save = pos;
            int saveLine = line;
            std::string first = DottedName();
            SkipSpace();
            if (pos < s.size() && s[pos] == '=') {
                ++pos;
                TLayoutProperty prop;
                prop.Name = first;
                prop.Line = saveLine;
                prop.Value = ParseValue();
                obj.Properties.push_back(std::move(prop));
            } else {
                pos = save;
                line = saveLine;
                obj.Children.push_back(ParseObject());
            }
        }
    }

    std::string ParseString()
    {
        ++pos;  // opening quote
        std::string out;
        while (pos < s.size() && s[pos] != '"') {
            char c = s[pos++];
            if (c == '\n') Fail("Unterminated string");
            if (c != '\\') {
                out += c;
                continue;
            }
            if (pos >= s.size()) Fail("Unterminated string");
            char e = s[pos++];
            switch (e) {
            case 'n': out += '\n'; break;
            case 't': out += '\t'; break;
            case 'r': out += '\r'; break;
            case '\\': out += '\\'; break;
            case '"': out += '"'; break;
            case 'x': {
                if (pos + 2 > s.size() || !std::isxdigit(static_cast<unsigned char>(s[pos])) ||
                    !std::isxdigit(static_cast<unsigned char>(s[pos + 1])))
                    Fail("Bad \\x escape");
                out += static_cast<char>(std::strtol(s.substr(pos, 2).c_str(), nullptr, 16));
                pos += 2;
                break;
            }
            default: Fail(std::string("Unknown escape \\") + e);
            }
        }
        if (pos >= s.size()) Fail("Unterminated string");
        ++pos;
        return out;
    }

    TLayoutValue ParseValue()
    {
        SkipSpace();
        if (pos >= s.size()) Fail("Value expected");
        TLayoutValue v;
        char c = s[pos];
        if (c == '"') {
            v.kind = TLayoutValue::kString;
            v.Str = ParseString();
            // Adjacent strings join, so long texts can be split over lines.
            while (Peek('"')) v.Str += ParseString();
            return v;
        }
        if (c == '[') {
            ++pos;
            v.kind = TLayoutValue::kSet;
            if (!Peek(']')) {
                v.Items.push_back(Ident());
                while (Peek(',')) {
                    ++pos;
                    v.Items.push_back(Ident());
                }
            }
            Expect(']');
            return v;
        }
        if (c == '-' || c == '+' || std::isdigit(static_cast<unsigned char>(c))) {
            std::size_t start = pos;
            if (c == '-' || c == '+') ++pos;
            bool hex = pos + 1 < s.size() && s[pos] == '0' && (s[pos + 1] == 'x' || s[pos + 1] == 'X');
            bool isFloat = false;
            if (hex) pos += 2;
            while (pos < s.size() && (std::isxdigit(static_cast<unsigned char>(s[pos])) || s[pos] == '.')) {
                if (!hex && (s[pos] == 'e' || s[pos] == 'E')) break;
                if (s[pos] == '.') isFloat = true;
                if (!hex && std::isalpha(static_cast<unsigned char>(s[pos]))) Fail("Bad number");
                ++pos;
            }
            if (!hex && pos < s.size() && (s[pos] == 'e' || s[pos] == 'E')) {
                isFloat = true;
                ++pos;
                if (pos < s.size() && (s[pos] == '-' || s[pos] == '+')) ++pos;
                while (pos < s.size() && std::isdigit(static_cast<unsigned char>(s[pos]))) ++pos;
            }
            std::string text = s.substr(start, pos - start);
            v.Str = text;
            char* end = nullptr;
            if (isFloat && !hex) {
                v.kind = TLayoutValue::kFloat;
                v.Float = std::strtod(text.c_str(), &end);
            } else {
                v.kind = TLayoutValue::kInteger;
                v.Int = std::strtoll(text.c_str(), &end, hex ? 16 : 10);
            }
            if (!end || *end != '\0') Fail("Bad number '" + text + "'");
            return v;
        }
        std::string id = Ident();
        if (id == "file" && Peek('(')) {
            ++pos;
            SkipSpace();
            if (pos >= s.size() || s[pos] != '"') Fail("File name expected");
            v.kind = TLayoutValue::kBinary;
            v.Str = ParseString();
            Expect(')');
            return v;
        }
        v.kind = TLayoutValue::kIdent;
        v.Str = id;
        return v;
    }

    const std::string& s;
    std::size_t pos = 0;
    int line = 1;
};

std::string Quote(const std::string& text)
{
    std::string out = "\"";
    for (unsigned char c : text) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\t': out += "\\t"; break;
        case '\r': out += "\\r"; break;
        default:
            if (c < 0x20) {
                static const char hex[] = "0123456789ABCDEF";
                out += "\\x";
                out += hex[c >> 4];
                out += hex[c & 15];
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    return out + "\"";
}

void WriteObject(std::string& out, const TLayoutObject& obj, int depth)
{
    std::string indent(static_cast<std::size_t>(depth) * 2, ' ');
    out += indent + obj.ClassName + ' ' + obj.Name + " {\n";
    for (const auto& p : obj.Properties) {
        out += indent + "  " + p.Name + " = ";
        const TLayoutValue& v = p.Value;
        switch (v.kind) {
        case TLayoutValue::kInteger:
        case TLayoutValue::kFloat: out += v.Str; break;
        case TLayoutValue::kString: out += Quote(v.Str); break;
        case TLayoutValue::kIdent: out += v.Str; break;
        case TLayoutValue::kBinary: out += "file(" + Quote(v.Str) + ")"; break;
        case TLayoutValue::kSet: {
            out += '[';
            for (std::size_t i = 0; i < v.Items.size(); ++i) out += (i ? ", " : "") + v.Items[i];
            out += ']';
            break;
        }
        }
        out += '\n';
    }
    for (const auto& child : obj.Children) WriteObject(out, child, depth + 1);
    out += indent + "}\n";
}

}  // namespace

TLayoutObject ParseLayout(const std::string& text) { return Parser(text).ParseRoot(); }

std::string WriteLayout(const TLayoutObject& root)
{
    std::string out;
    WriteObject(out, root, 0);
    return out;
}
