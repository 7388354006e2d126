// The text form of component streams, converted structurally both ways.
#include "objects/TextForm.h"

#include <cerrno>
#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string_view>

namespace {

constexpr int kMaxDepth = TReader::kMaxDepth;

// Reads a whole decimal number ([-]digits[.digits][e[+-]digits]) to the
// nearest long double. MinGW's from_chars reads long double only to double
// precision; its strtold is exact but takes the C runtime's decimal point,
// which a host may have set to the user's.
bool ParseLongDouble(std::string_view text, long double& value) {
#ifdef __MINGW32__
    std::string s(text);
    if (const char* point = std::localeconv()->decimal_point; point && *point && *point != '.')
        if (auto at = s.find('.'); at != std::string::npos) s.replace(at, 1, point);
    char* end = nullptr;
    errno = 0;
    value = std::strtold(s.c_str(), &end);
    return !s.empty() && end == s.c_str() + s.size() && errno != ERANGE;
#else
    auto r = std::from_chars(text.data(), text.data() + text.size(), value);
    return r.ec == std::errc() && r.ptr == text.data() + text.size();
#endif
}

// ---- binary to text ----

class TextEmitter {
public:
    TextEmitter(TReader& r, std::string& out) : r_(r), out_(out) {}

    void Object(int indent, int depth) {
        if (depth > kMaxDepth)
            throw EReadError("Invalid stream format: components nest too deeply");
        std::string cls = r_.ReadName();
        std::string name = r_.ReadName();
        if (!IsValidIdent(cls) || (!name.empty() && !IsValidIdent(name)))
            throw EReadError("Invalid stream format: bad class or component name");
        Line(indent, "object " + (name.empty() ? cls : name + ": " + cls));
        Properties(indent + 2, depth);
        while (r_.NextNameNonEmpty()) Object(indent + 2, depth + 1);
        Line(indent, "end");
    }

private:
    void Properties(int indent, int depth) {
        while (r_.NextNameNonEmpty()) {
            std::string prop = r_.ReadName();
            if (!ValidDottedIdent(prop) || IsKeyword(prop))
                throw EReadError("Invalid stream format: bad property name");
            Indent(indent);
            out_ += prop + " = ";
            Value(indent, depth + 1);
            out_ += '\n';
        }
    }

    void Line(int indent, const std::string& s) {
        Indent(indent);
        out_ += s;
        out_ += '\n';
    }
    void Indent(int n) { out_.append(static_cast<size_t>(n), ' '); }

    void Value(int indent, int depth) {
        if (depth > kMaxDepth) throw EReadError("Invalid stream format: values nest too deeply");
        switch (r_.NextValue()) {
            case TValueType::vaNull:
                throw EReadError("Invalid stream format: unexpected end of list");
            case TValueType::vaInt8:
            case TValueType::vaInt16:
            case TValueType::vaInt32:
            case TValueType::vaInt64: out_ += IntToStr(r_.ReadInt64()); return;
            case TValueType::vaExtended:
                r_.ReadValue();
                out_ += FloatText(r_.ReadExtended());
                return;
            case TValueType::vaString: out_ += QuoteString(r_.ReadString()); return;
            case TValueType::vaIdent: {
                r_.ReadValue();
                std::string id = r_.ReadName();
                if (!ValidDottedIdent(id) || IsKeyword(id) || SameText(id, "True") ||
                    SameText(id, "False") || SameText(id, "nil"))
                    throw EReadError("Invalid stream format: bad identifier");
                out_ += id;
                return;
            }
            case TValueType::vaFalse:
            case TValueType::vaTrue:
            case TValueType::vaNil: out_ += r_.ReadIdent(); return;
            case TValueType::vaSet: {
                r_.ReadValue();
                out_ += '[';
                bool first = true;
                for (std::string n = r_.ReadName(); !n.empty(); n = r_.ReadName()) {
                    if (!IsValidIdent(n))
                        throw EReadError("Invalid stream format: bad set element");
                    if (!first) out_ += ", ";
                    out_ += n;
                    first = false;
                }
                out_ += ']';
                return;
            }
            case TValueType::vaBinary: {
                std::vector<uint8_t> data = r_.ReadBinary();
                out_ += '{';
                for (size_t i = 0; i < data.size(); ++i) {
                    if (i % 32 == 0) {
                        out_ += '\n';
                        Indent(indent + 2);
                    }
                    out_ += IntToHex(data[i], 2);
                }
                out_ += '}';
                return;
            }
            case TValueType::vaList: {
                r_.ReadValue();
                out_ += '(';
                while (r_.NextValue() != TValueType::vaNull) {
                    out_ += '\n';
                    Indent(indent + 2);
                    Value(indent + 2, depth + 1);
                }
                r_.ReadValue();
                out_ += ')';
                return;
            }
            case TValueType::vaCollection: {
                r_.ReadValue();
                out_ += '<';
                while (r_.NextValue() != TValueType::vaNull) {
                    if (r_.ReadValue() != TValueType::vaList)
                        throw EReadError("Invalid stream format: bad collection item");
                    out_ += '\n';
                    Line(indent + 2, "item");
                    Properties(indent + 4, depth + 1);
                    Indent(indent + 2);
                    out_ += "end";
                }
                r_.ReadValue();
                out_ += '>';
                return;
            }
        }
    }

public:
    // Words that structure the text and so cannot name a property.
    static bool IsKeyword(const std::string& s) {
        return SameText(s, "object") || SameText(s, "end") || SameText(s, "item") ||
               SameText(s, "inherited") || SameText(s, "inline");
    }

    static bool ValidDottedIdent(const std::string& s) {
        size_t start = 0;
        for (;;) {
            size_t dot = s.find('.', start);
            if (!IsValidIdent(std::string_view(s).substr(
                    start, dot == std::string::npos ? std::string::npos : dot - start)))
                return false;
            if (dot == std::string::npos) return true;
            start = dot + 1;
        }
    }

    static std::string QuoteString(const std::string& s) {
        if (s.empty()) return "''";
        std::string r;
        bool quoted = false;
        for (char ch : s) {
            unsigned char c = static_cast<unsigned char>(ch);
            if (c < 0x20 || c == 0x7F) {
                if (quoted) r += '\'';
                quoted = false;
                r += '#' + std::to_string(c);
            } else {
                if (!quoted) r += '\'';
                quoted = true;
                r += ch;
                if (ch == '\'') r += '\'';
            }
        }
        if (quoted) r += '\'';
        return r;
    }

    // The shortest decimal that reads back to the same 10 bytes; otherwise
    // the bytes themselves: '%' and 20 hex digits, sign and exponent first.
    static std::string FloatText(const TExtended80& bytes) {
        long double v = ExtendedToLongDouble(bytes);
        if (std::isfinite(v)) {
            char buf[128];
            auto res = std::to_chars(buf, buf + sizeof buf, v);
            if (res.ec == std::errc()) {
                std::string s(buf, res.ptr);
                if (s.find_first_of(".e") == std::string::npos) s += ".0";
                long double back = 0;
                if (ParseLongDouble(s, back) && LongDoubleToExtended(back) == bytes) return s;
            }
        }
        std::string r = "%";
        for (int i = 9; i >= 0; --i) r += IntToHex(bytes[static_cast<size_t>(i)], 2);
        return r;
    }

private:
    TReader& r_;
    std::string& out_;
};

// ---- text to binary ----

enum class Tok { End, Ident, Integer, Float, RawFloat, String, Binary, Symbol };

struct Token {
    Tok kind = Tok::End;
    std::string text;  // identifier, string bytes or the symbol
    int64_t integer = 0;
    long double real = 0;
    TExtended80 raw{};
    std::vector<uint8_t> bytes;
    int line = 1;
};

class Lexer {
public:
    explicit Lexer(const std::string& s) : s_(s) {}

    [[noreturn]] void Error(const std::string& what, int line) const {
        throw EParserError(what + " on line " + IntToStr(line));
    }

    Token Next() {
        if (peeked_) {
            peeked_ = false;
            return std::move(peek_);
        }
        return Scan();
    }
    const Token& Peek() {
        if (!peeked_) {
            peek_ = Scan();
            peeked_ = true;
        }
        return peek_;
    }

private:
    static bool Alpha(char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
    }
    static bool Digit(char c) { return c >= '0' && c <= '9'; }
    static int HexVal(char c) {
        if (Digit(c)) return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    }
    char At(size_t i) const { return i < s_.size() ? s_[i] : '\0'; }

    Token Scan() {
        while (pos_ < s_.size() &&
               (s_[pos_] == ' ' || s_[pos_] == '\t' || s_[pos_] == '\r' || s_[pos_] == '\n')) {
            if (s_[pos_] == '\n') ++line_;
            ++pos_;
        }
        Token t;
        t.line = line_;
        if (pos_ >= s_.size()) return t;
        char c = s_[pos_];
        if (Alpha(c)) {
            size_t start = pos_;
            for (;;) {
                while (Alpha(At(pos_)) || Digit(At(pos_))) ++pos_;
                if (At(pos_) == '.' && Alpha(At(pos_ + 1))) {
                    ++pos_;
                    continue;
                }
                break;
            }
            t.kind = Tok::Ident;
            t.text = s_.substr(start, pos_ - start);
            return t;
        }
        if (Digit(c) || c == '$' ||
            ((c == '-' || c == '+') && (Digit(At(pos_ + 1)) || At(pos_ + 1) == '$')))
            return Number(t);
        if (c == '%') {
            ++pos_;
            for (int i = 9; i >= 0; --i) {
                int hi = HexVal(At(pos_)), lo = HexVal(At(pos_ + 1));
                if (hi < 0 || lo < 0) Error("Invalid extended value", line_);
                t.raw[static_cast<size_t>(i)] = static_cast<uint8_t>(hi * 16 + lo);
                pos_ += 2;
            }
            t.kind = Tok::RawFloat;
            return t;
        }
        if (c == '\'' || c == '#') return String(t);
        if (c == '{') return Binary(t);
        if (std::strchr("=:[](),<>+", c)) {
            ++pos_;
            t.kind = Tok::Symbol;
            t.text = std::string(1, c);
            return t;
        }
        Error("Invalid character", line_);
    }

    Token Number(Token& t) {
        size_t start = pos_;
        if (At(pos_) == '-' || At(pos_) == '+') ++pos_;
        if (At(pos_) == '$') {
            ++pos_;
            while (HexVal(At(pos_)) >= 0) ++pos_;
        } else {
            while (Digit(At(pos_))) ++pos_;
            if (At(pos_) == '.' && Digit(At(pos_ + 1))) {
                t.kind = Tok::Float;
                ++pos_;
                while (Digit(At(pos_))) ++pos_;
            }
            if ((At(pos_) == 'e' || At(pos_) == 'E') &&
                (Digit(At(pos_ + 1)) ||
                 ((At(pos_ + 1) == '-' || At(pos_ + 1) == '+') && Digit(At(pos_ + 2))))) {
                t.kind = Tok::Float;
                pos_ += 2;
                while (Digit(At(pos_))) ++pos_;
            }
        }
        std::string text = s_.substr(start, pos_ - start);
        if (Alpha(At(pos_))) Error("Invalid number", line_);
        if (t.kind == Tok::Float) {
            if (!ParseLongDouble(std::string_view(text).substr(text[0] == '+' ? 1 : 0), t.real))
                Error("Invalid floating point number", line_);
            return t;
        }
        t.kind = Tok::Integer;
        if (!TryStrToInt64(text, t.integer)) Error("Invalid integer", line_);
        return t;
    }

    Token String(Token& t) {
        t.kind = Tok::String;
        for (;;) {
            char c = At(pos_);
            if (c == '\'') {
                ++pos_;
                for (;;) {
                    if (pos_ >= s_.size() || s_[pos_] == '\n' || s_[pos_] == '\r')
                        Error("Unterminated string", line_);
                    if (s_[pos_] == '\'') {
                        if (At(pos_ + 1) == '\'') {
                            t.text += '\'';
                            pos_ += 2;
                            continue;
                        }
                        ++pos_;
                        break;
                    }
                    t.text += s_[pos_++];
                }
            } else if (c == '#') {
                ++pos_;
                int64_t code = 0;
                size_t start = pos_;
                if (At(pos_) == '$') {
                    ++pos_;
                    while (HexVal(At(pos_)) >= 0) ++pos_;
                } else {
                    while (Digit(At(pos_))) ++pos_;
                }
                if (!TryStrToInt64(std::string_view(s_).substr(start, pos_ - start), code) ||
                    code < 0 || code > 255)
                    Error("Invalid character code", line_);
                t.text += static_cast<char>(code);
            } else {
                return t;
            }
        }
    }

    Token Binary(Token& t) {
        t.kind = Tok::Binary;
        ++pos_;
        int high = -1;
        for (;;) {
            if (pos_ >= s_.size()) Error("Unterminated binary value", line_);
            char c = s_[pos_++];
            if (c == '}') break;
            if (c == '\n') ++line_;
            if (c == ' ' || c == '\t' || c == '\r' || c == '\n') continue;
            int v = HexVal(c);
            if (v < 0) Error("Invalid binary value", line_);
            if (high < 0)
                high = v;
            else {
                t.bytes.push_back(static_cast<uint8_t>(high * 16 + v));
                high = -1;
            }
        }
        if (high >= 0) Error("Invalid binary value", line_);
        return t;
    }

    const std::string& s_;
    size_t pos_ = 0;
    int line_ = 1;
    Token peek_;
    bool peeked_ = false;
};

class TextParser {
public:
    TextParser(const std::string& text, TWriter& w) : lex_(text), w_(w) {}

    void Parse() {
        w_.WriteSignature();
        Object(0);
        const Token& t = lex_.Peek();
        if (t.kind != Tok::End) lex_.Error("Text after the final end", t.line);
    }

private:
    bool IsWord(const Token& t, const char* word) const {
        return t.kind == Tok::Ident && SameText(t.text, word);
    }

    Token Expect(Tok kind, const char* what) {
        Token t = lex_.Next();
        if (t.kind != kind) lex_.Error(std::string(what) + " expected", t.line);
        return t;
    }
    void ExpectSymbol(char c) {
        Token t = lex_.Next();
        if (t.kind != Tok::Symbol || t.text[0] != c)
            lex_.Error(std::string("'") + c + "' expected", t.line);
    }
    void ExpectWord(const char* word) {
        Token t = lex_.Next();
        if (!IsWord(t, word)) lex_.Error(std::string("'") + word + "' expected", t.line);
    }
    bool PeekSymbol(char c) {
        const Token& t = lex_.Peek();
        return t.kind == Tok::Symbol && t.text[0] == c;
    }
    std::string PlainIdent(const char* what) {
        Token t = Expect(Tok::Ident, what);
        if (!IsValidIdent(t.text)) lex_.Error(std::string(what) + " expected", t.line);
        return t.text;
    }

    void Object(int depth) {
        if (depth > kMaxDepth) lex_.Error("Objects nest too deeply", lex_.Peek().line);
        ExpectWord("object");
        std::string first = PlainIdent("Identifier");
        std::string name, cls = first;
        if (PeekSymbol(':')) {
            lex_.Next();
            name = first;
            cls = PlainIdent("Class name");
        }
        w_.WriteName(cls);
        w_.WriteName(name);
        Properties(depth, true);
        while (IsWord(lex_.Peek(), "object")) Object(depth + 1);
        ExpectWord("end");
        w_.WriteName(std::string());
    }

    // Properties up to "end" (or, in an object, up to its first child);
    // writes the empty name that ends them.
    void Properties(int depth, bool inObject) {
        for (;;) {
            const Token& t = lex_.Peek();
            if (IsWord(t, "end") || (inObject && IsWord(t, "object"))) break;
            Token name = Expect(Tok::Ident, "Property name");
            if (TextEmitter::IsKeyword(name.text)) lex_.Error("Property name expected", name.line);
            ExpectSymbol('=');
            w_.WriteName(name.text);
            Value(depth + 1);
        }
        w_.WriteName(std::string());
    }

    void Value(int depth) {
        if (depth > kMaxDepth) lex_.Error("Values nest too deeply", lex_.Peek().line);
        Token t = lex_.Next();
        switch (t.kind) {
            case Tok::Integer: w_.WriteInteger(t.integer); return;
            case Tok::Float: w_.WriteFloat(t.real); return;
            case Tok::RawFloat: w_.WriteExtended(t.raw); return;
            case Tok::String: {
                std::string s = std::move(t.text);
                while (PeekSymbol('+')) {
                    lex_.Next();
                    s += Expect(Tok::String, "String").text;
                }
                w_.WriteString(s);
                return;
            }
            case Tok::Ident:
                if (TextEmitter::IsKeyword(t.text)) lex_.Error("Value expected", t.line);
                w_.WriteIdent(t.text);
                return;
            case Tok::Binary:
                if (t.bytes.size() > UINT32_MAX) lex_.Error("Binary value too large", t.line);
                w_.WriteBinary(t.bytes.data(), static_cast<uint32_t>(t.bytes.size()));
                return;
            case Tok::Symbol:
                if (t.text[0] == '[') {
                    w_.WriteValue(TValueType::vaSet);
                    if (!PeekSymbol(']')) {
                        for (;;) {
                            w_.WriteName(PlainIdent("Set element"));
                            if (PeekSymbol(']')) break;
                            ExpectSymbol(',');
                        }
                    }
                    lex_.Next();
                    w_.WriteName(std::string());
                    return;
                }
                if (t.text[0] == '(') {
                    w_.WriteListBegin();
                    while (!PeekSymbol(')')) Value(depth + 1);
                    lex_.Next();
                    w_.WriteListEnd();
                    return;
                }
                if (t.text[0] == '<') {
                    w_.WriteValue(TValueType::vaCollection);
                    while (!PeekSymbol('>')) {
                        ExpectWord("item");
                        w_.WriteValue(TValueType::vaList);
                        Properties(depth + 1, false);
                        ExpectWord("end");
                    }
                    lex_.Next();
                    w_.WriteValue(TValueType::vaNull);
                    return;
                }
                break;
            default: break;
        }
        lex_.Error("Value expected", t.line);
    }

    Lexer lex_;
    TWriter& w_;
};

}  // namespace

void ObjectBinaryToText(TStream& input, TStream& output) {
    TReader r(input);
    r.ReadSignature();
    std::string text;
    TextEmitter(r, text).Object(0, 0);
    output.WriteBuffer(text.data(), static_cast<int64_t>(text.size()));
}

void ObjectTextToBinary(TStream& input, TStream& output) {
    std::string text(static_cast<size_t>(input.Remaining()), '\0');
    input.ReadBuffer(text.data(), static_cast<int64_t>(text.size()));
    TMemoryStream bin;
    TWriter w(bin);
    TextParser(text, w).Parse();
    bin.SaveToStream(output);
}

std::string ComponentToText(TComponent* root) {
    TMemoryStream bin;
    WriteComponentToStream(bin, root);
    bin.SetPosition(0);
    TStringStream text;
    ObjectBinaryToText(bin, text);
    return text.DataString();
}

namespace {
void TextToBinary(const std::string& text, TMemoryStream& bin) {
    TStringStream in(text);
    ObjectTextToBinary(in, bin);
    bin.SetPosition(0);
}
}  // namespace

std::unique_ptr<TComponent> ComponentFromText(const std::string& text) {
    TMemoryStream bin;
    TextToBinary(text, bin);
    return ReadComponentFromStream(bin);
}

TComponent* ComponentFromText(const std::string& text, TComponent* root) {
    TMemoryStream bin;
    TextToBinary(text, bin);
    return ReadComponentFromStream(bin, root);
}
