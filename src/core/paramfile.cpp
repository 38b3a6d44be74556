#include "core/paramfile.h"

#include <charconv>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>
#include "core/datafile.h"
#include "core/debug.h"
#include "core/helpers.h"

namespace {

// Limits that keep malformed input from asking for absurd amounts of memory or stack.
constexpr size_t kMaxTextSize = 65536;            // a text variable or text field
constexpr size_t kMaxRecordSize = 65536;          // one record of a structure type
constexpr int64_t kMaxRecordBytes = 16 << 20;     // one record array's block
constexpr int kMaxNesting = 64;                   // if/else and brace blocks inside one another
constexpr int kMaxExpressionDepth = 256;          // parentheses, casts and powers inside one another

struct Field {
    std::string name;
    int kind;
    size_t size;
    size_t offset;
};

struct StructType {
    std::string name;
    std::vector<Field> fields;
    size_t recordSize = 0;
};

struct Variable {
    std::string name;
    int kind = 0;
    int intValue = 0;
    double doubleValue = 0.0;
    char charValue = 0;
    std::vector<char> text;  // kind text: the buffer, always zero-terminated
    std::shared_ptr<const StructType> type;
    int count = 0;  // records given
    std::vector<unsigned char> data;
};

}  // namespace

struct IParseContext {
    std::vector<Variable> variables;  // newest last; lookups go from the back
    std::vector<std::shared_ptr<const StructType>> types;
    std::vector<std::string> searchPaths;
    std::vector<std::string> openFiles;  // the include chain being parsed
};

namespace {

int g_idCounter = 0;

inline bool IsWordChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '.';
}
inline bool IsDigit(char c) { return c >= '0' && c <= '9'; }
inline bool IsSpaceOrControl(char c) {
    unsigned char u = static_cast<unsigned char>(c);
    return u <= ' ' || u == 127;
}

bool IsIdentifier(const IParseToken& token) {
    if (token.kind != IParseTokenKind::Word || token.text.empty()) return false;
    char c = token.text[0];
    if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_')) return false;
    for (char d : token.text)
        if (!IsWordChar(d) || d == '.') return false;
    return true;
}

bool Is(const std::vector<IParseToken>& tokens, size_t at, const char* text) {
    return at < tokens.size() && tokens[at].kind == IParseTokenKind::Word && tokens[at].text == text;
}

int TruncateToInt(double value) {
    if (std::isnan(value)) return 0;
    if (value >= 2147483647.0) return INT_MAX;
    if (value <= -2147483648.0) return INT_MIN;
    return static_cast<int>(value);
}

// Integer arithmetic wraps (two's complement) instead of overflowing.
inline int WrapAdd(int a, int b) { return static_cast<int>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b)); }
inline int WrapSub(int a, int b) { return static_cast<int>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b)); }
inline int WrapMul(int a, int b) { return static_cast<int>(static_cast<uint32_t>(a) * static_cast<uint32_t>(b)); }

const Variable* FindVariable(const IParseContext* context, const char* name) {
    if (!context || !name) return nullptr;
    for (auto it = context->variables.rbegin(); it != context->variables.rend(); ++it)
        if (it->name == name) return &*it;
    return nullptr;
}
Variable* FindVariable(IParseContext* context, const std::string& name) {
    for (auto it = context->variables.rbegin(); it != context->variables.rend(); ++it)
        if (it->name == name) return &*it;
    return nullptr;
}
std::shared_ptr<const StructType> FindType(const IParseContext* context, const std::string& name) {
    for (auto it = context->types.rbegin(); it != context->types.rend(); ++it)
        if ((*it)->name == name) return *it;
    return nullptr;
}

// ---- Expression evaluation ----

struct Value {
    double d = 0.0;
    bool isInt = false;
    int i = 0;
};
Value IntValue(int i) { return Value{static_cast<double>(i), true, i}; }
Value RealValue(double d) { return Value{d, false, TruncateToInt(d)}; }

class Evaluator {
public:
    Evaluator(const IParseContext* context, const std::vector<IParseToken>& tokens, int first, int last)
        : m_context(context), m_tokens(tokens), m_pos(first), m_end(last + 1) {}

    bool Run(Value* result) {
        if (m_pos >= m_end) return false;
        *result = Equality();
        return m_ok;
    }

private:
    bool At(const char* text) const { return m_pos < m_end && Is(m_tokens, static_cast<size_t>(m_pos), text); }
    bool AtOffset(int offset, const char* text) const {
        return m_pos + offset < m_end && Is(m_tokens, static_cast<size_t>(m_pos + offset), text);
    }
    Value Fail() {
        m_ok = false;
        return Value{};
    }

    Value Equality() {
        Value a = Relation();
        if (!m_ok) return a;
        int op = 0;  // 1 equal, 2 not equal
        if (At("=") && AtOffset(1, "=")) {
            op = 1;
            m_pos += 2;
        } else if (At("!") && AtOffset(1, "=")) {
            op = 2;
            m_pos += 2;
        } else if (At("is")) {
            op = 1;
            ++m_pos;
        } else if (At("isnt")) {
            op = 2;
            ++m_pos;
        }
        if (!op) return a;
        Value b = Relation();
        if (!m_ok) return b;
        bool equal = (a.isInt && b.isInt) ? a.i == b.i : a.d == b.d;
        return IntValue((op == 1) == equal ? 1 : 0);
    }

    Value Relation() {
        Value a = Sum();
        if (!m_ok) return a;
        if (!At(">") && !At("<")) return a;
        bool greater = At(">");
        ++m_pos;
        bool orEqual = false;
        if (At("=")) {
            orEqual = true;
            ++m_pos;
        }
        Value b = Sum();
        if (!m_ok) return b;
        bool result;
        if (a.isInt && b.isInt)
            result = greater ? (orEqual ? a.i >= b.i : a.i > b.i) : (orEqual ? a.i <= b.i : a.i < b.i);
        else
            result = greater ? (orEqual ? a.d >= b.d : a.d > b.d) : (orEqual ? a.d <= b.d : a.d < b.d);
        return IntValue(result ? 1 : 0);
    }

    Value Sum() {
        Value a = Product();
        while (m_ok && (At("+") || At("-"))) {
            bool plus = At("+");
            ++m_pos;
            Value b = Product();
            if (!m_ok) return b;
            if (a.isInt && b.isInt)
                a = IntValue(plus ? WrapAdd(a.i, b.i) : WrapSub(a.i, b.i));
            else
                a = RealValue(plus ? a.d + b.d : a.d - b.d);
        }
        return a;
    }

    Value Product() {
        Value a = Power();
        while (m_ok && (At("*") || At("/"))) {
            bool times = At("*");
            ++m_pos;
            Value b = Power();
            if (!m_ok) return b;
            if (a.isInt && b.isInt) {
                if (times) {
                    a = IntValue(WrapMul(a.i, b.i));
                } else {
                    // Dividing by zero, or the most negative int by -1, has no int answer.
                    if (b.i == 0 || (a.i == INT_MIN && b.i == -1)) return Fail();
                    a = IntValue(a.i / b.i);
                }
            } else {
                a = RealValue(times ? a.d * b.d : a.d / b.d);
            }
        }
        return a;
    }

    Value Power() {
        if (++m_depth > kMaxExpressionDepth) return Fail();
        Value base = Unary();
        if (m_ok && At("^")) {
            ++m_pos;
            Value exponent = Power();
            if (!m_ok) return exponent;
            if (base.isInt && exponent.isInt) {
                // The base multiplied by itself exponent times, by squaring (same wrapped result).
                uint32_t result = 1;
                uint32_t factor = static_cast<uint32_t>(base.i);
                for (int e = exponent.i; e > 0; e >>= 1) {
                    if (e & 1) result *= factor;
                    factor *= factor;
                }
                base = IntValue(static_cast<int>(result));
            } else {
                base = RealValue(std::pow(base.d, exponent.d));
            }
        }
        --m_depth;
        return base;
    }

    Value Unary() {
        if (!At("-")) return Primary();
        ++m_pos;
        Value v = Primary();
        if (!m_ok) return v;
        return v.isInt ? IntValue(WrapSub(0, v.i)) : RealValue(-v.d);
    }

    Value Primary() {
        if (m_pos >= m_end) return Fail();
        if (++m_depth > kMaxExpressionDepth) return Fail();
        Value v = PrimaryInner();
        --m_depth;
        return v;
    }

    Value PrimaryInner() {
        const IParseToken& token = m_tokens[static_cast<size_t>(m_pos)];
        if (At("(")) {
            static const char* const kIntCasts[] = {"int", "char", "long"};
            static const char* const kRealCasts[] = {"float", "double"};
            for (const char* cast : kIntCasts)
                if (AtOffset(1, cast) && AtOffset(2, ")")) {
                    m_pos += 3;
                    Value v = Unary();
                    return m_ok ? IntValue(v.isInt ? v.i : TruncateToInt(v.d)) : v;
                }
            for (const char* cast : kRealCasts)
                if (AtOffset(1, cast) && AtOffset(2, ")")) {
                    m_pos += 3;
                    Value v = Unary();
                    return m_ok ? RealValue(v.d) : v;
                }
            ++m_pos;
            Value v = Equality();
            if (!m_ok) return v;
            if (!At(")")) return Fail();
            ++m_pos;
            return v;
        }
        if (token.kind == IParseTokenKind::Integer) {
            ++m_pos;
            int64_t value = 0;
            for (char c : token.text) {
                value = value * 10 + (c - '0');
                if (value > INT_MAX) value = INT_MAX;
            }
            return IntValue(static_cast<int>(value));
        }
        if (token.kind == IParseTokenKind::Real) {
            ++m_pos;
            double value = 0.0;
            auto result = std::from_chars(token.text.data(), token.text.data() + token.text.size(), value);
            if (result.ec == std::errc::result_out_of_range) value = HUGE_VAL;
            else if (result.ec != std::errc()) return Fail();
            return RealValue(value);
        }
        if (IsIdentifier(token)) {
            // Names are read as numbers of kind int, float or double, always as a real.
            const Variable* variable = FindVariable(m_context, token.text.c_str());
            if (!variable || (variable->kind != kIParseInt && variable->kind != kIParseFloat &&
                              variable->kind != kIParseDouble))
                return Fail();
            ++m_pos;
            return RealValue(variable->doubleValue);
        }
        return Fail();
    }

    const IParseContext* m_context;
    const std::vector<IParseToken>& m_tokens;
    int m_pos;
    int m_end;
    int m_depth = 0;
    bool m_ok = true;
};

bool Evaluate(const IParseContext* context, const std::vector<IParseToken>& tokens, size_t first, size_t end,
              Value* value) {
    if (first >= end || end > tokens.size()) return false;
    int status = 0;
    bool isInt = false;
    int intValue = 0;
    double d = IParse_Evaluate(context, tokens, static_cast<int>(first), static_cast<int>(end) - 1, &isInt,
                               &intValue, &status);
    if (status != 0) return false;
    *value = isInt ? IntValue(intValue) : RealValue(d);
    return true;
}

// ---- Statements ----

class Parser {
public:
    Parser(IParseContext* context, const char* name) : m_context(context), m_name(name ? name : "(text)") {}

    int Run(const char* text, size_t length) {
        StripComments(text, length);
        return RunBlock(0, m_source.size(), 0);
    }

private:
    // Comments become blanks (line ends kept, so line numbers stay right); not inside quotes.
    void StripComments(const char* text, size_t length) {
        m_source.assign(text, length);
        bool quoted = false;
        for (size_t i = 0; i < length; ++i) {
            char c = m_source[i];
            if (quoted) {
                if (c == '"' || c == '\n') quoted = false;
                continue;
            }
            if (c == '"') {
                quoted = true;
            } else if (c == '/' && i + 1 < length && m_source[i + 1] == '/') {
                for (; i < length && m_source[i] != '\n'; ++i) m_source[i] = ' ';
            } else if (c == '/' && i + 1 < length && m_source[i + 1] == '*') {
                m_source[i] = m_source[i + 1] = ' ';
                for (i += 2; i < length && !(m_source[i] == '*' && i + 1 < length && m_source[i + 1] == '/'); ++i)
                    if (m_source[i] != '\n') m_source[i] = ' ';
                if (i < length) m_source[i] = m_source[i + 1] = ' ', ++i;
            }
        }
    }

    int Report(int status, size_t at, const char* what) {
        int line = 1;
        for (size_t i = 0; i < at && i < m_source.size(); ++i)
            if (m_source[i] == '\n') ++line;
        Debug_Printf("IParse: %s line %d: %s\n", m_name.c_str(), line, what);
        return status;
    }

    // Skips a double-quoted string or a quoted character starting at i; returns the index after it.
    size_t SkipQuoted(size_t i, size_t end) const {
        if (m_source[i] == '"') {
            for (++i; i < end && m_source[i] != '"' && m_source[i] != '\n'; ++i) {
            }
            return i < end ? i + 1 : end;
        }
        if (m_source[i] == '\'' && i + 2 < end && m_source[i + 2] == '\'') return i + 3;
        return i + 1;
    }

    // The first occurrence of terminator outside quotes, at or after from; npos when none.
    size_t FindTerminator(size_t from, size_t end, const char* terminator) const {
        size_t n = std::strlen(terminator);
        for (size_t i = from; i < end;) {
            if (n && i + n <= end && m_source.compare(i, n, terminator) == 0) return i;
            char c = m_source[i];
            if (c == '"' || c == '\'')
                i = SkipQuoted(i, end);
            else
                ++i;
        }
        return std::string::npos;
    }

    // The closing mark that matches the opening one at open (nesting, quotes skipped).
    size_t FindMatching(size_t open, size_t end, char opening, char closing) const {
        int depth = 0;
        for (size_t i = open; i < end;) {
            char c = m_source[i];
            if (c == '"' || c == '\'') {
                i = SkipQuoted(i, end);
                continue;
            }
            if (c == opening) ++depth;
            if (c == closing && --depth == 0) return i;
            ++i;
        }
        return std::string::npos;
    }

    size_t SkipBlanks(size_t i, size_t end) const {
        while (i < end && IsSpaceOrControl(m_source[i])) ++i;
        return i;
    }

    std::vector<IParseToken> Tokens(size_t from, size_t to) const {
        std::vector<IParseToken> tokens;
        IParse_Tokenize(m_source.data() + from, to - from, &tokens);
        return tokens;
    }

    int RunBlock(size_t pos, size_t end, int nesting) {
        if (nesting > kMaxNesting) return Report(kIParseMalformed, pos, "blocks nested too deeply");
        for (;;) {
            pos = SkipBlanks(pos, end);
            if (pos >= end) return kIParseOk;
            size_t start = pos;
            std::string word;
            if (m_source[pos] == '{') {
                word = "{";
                ++pos;
            } else {
                if (m_source[pos] == '#') word += m_source[pos++];
                while (pos < end && IsWordChar(m_source[pos])) word += m_source[pos++];
            }
            int status = RunStatement(word, start, pos, end, nesting);
            if (status != kIParseOk) return status;
        }
    }

    // Runs the statement whose word ends at pos; leaves pos after its terminator.
    int RunStatement(const std::string& word, size_t start, size_t& pos, size_t end, int nesting) {
        if (word == "if") return RunIf(start, pos, end, nesting);
        if (word == "{") {
            size_t close = FindMatching(start, end, '{', '}');
            if (close == std::string::npos) return Report(kIParseMalformed, start, "'{' without '}'");
            int status = RunBlock(start + 1, close, nesting + 1);
            pos = close + 1;
            return status;
        }
        if (word == "else") return Report(kIParseMalformed, start, "'else' without 'if'");

        const char* terminator = ";";
        bool lineEnd = false;
        std::shared_ptr<const StructType> recordType;
        Variable* assigned = nullptr;
        if (word == "struct") {
            terminator = "};";
        } else if (word == "#define" || word == "#include") {
            lineEnd = true;
        } else if (word == "int" || word == "float" || word == "double" || word == "char") {
        } else if (!word.empty() && (recordType = FindType(m_context, word))) {
            terminator = "#END_DATA";
        } else if (!word.empty() && (assigned = FindVariable(m_context, word))) {
        } else {
            return Report(kIParseUnknown, start, ("unknown statement '" + word.substr(0, 40) + "'").c_str());
        }

        size_t stop;
        size_t next;
        if (lineEnd) {
            stop = m_source.find('\n', pos);
            if (stop == std::string::npos || stop > end) stop = end;
            next = stop;
        } else {
            stop = FindTerminator(pos, end, terminator);
            if (stop == std::string::npos)
                return Report(kIParseMalformed, start, ("missing '" + std::string(terminator) + "'").c_str());
            next = stop + std::strlen(terminator);
        }
        std::vector<IParseToken> tokens = Tokens(pos, stop);
        pos = next;

        int status;
        if (word == "int" || word == "float" || word == "double")
            status = DeclareNumber(word == "int" ? kIParseInt : word == "float" ? kIParseFloat : kIParseDouble, tokens);
        else if (word == "char")
            status = DeclareChar(tokens);
        else if (word == "#define")
            status = Define(tokens);
        else if (word == "#include")
            status = Include(tokens);
        else if (word == "struct")
            status = DefineStruct(tokens);
        else if (recordType)
            status = DeclareRecords(recordType, tokens);
        else
            status = Assign(word, tokens);
        if (status == kIParseMalformed) return Report(status, start, ("malformed '" + word.substr(0, 40) + "' statement").c_str());
        return status;
    }

    int RunIf(size_t start, size_t& pos, size_t end, int nesting) {
        size_t open = SkipBlanks(pos, end);
        if (open >= end || m_source[open] != '(') return Report(kIParseMalformed, start, "'if' without '('");
        size_t close = FindMatching(open, end, '(', ')');
        if (close == std::string::npos) return Report(kIParseMalformed, start, "'if' without ')'");
        std::vector<IParseToken> tokens = Tokens(open + 1, close);
        Value condition;
        if (!Evaluate(m_context, tokens, 0, tokens.size(), &condition))
            return Report(kIParseMalformed, start, "bad 'if' condition");
        bool taken = condition.isInt ? condition.i != 0 : condition.d != 0.0;

        size_t thenOpen = SkipBlanks(close + 1, end);
        if (thenOpen >= end || m_source[thenOpen] != '{') return Report(kIParseMalformed, start, "'if' without a block");
        size_t thenClose = FindMatching(thenOpen, end, '{', '}');
        if (thenClose == std::string::npos) return Report(kIParseMalformed, start, "'if' block without '}'");
        pos = thenClose + 1;

        size_t elseOpen = std::string::npos, elseClose = std::string::npos;
        size_t after = SkipBlanks(pos, end);
        if (after + 4 <= end && m_source.compare(after, 4, "else") == 0 &&
            (after + 4 == end || !IsWordChar(m_source[after + 4]))) {
            elseOpen = SkipBlanks(after + 4, end);
            if (elseOpen >= end || m_source[elseOpen] != '{')
                return Report(kIParseMalformed, after, "'else' without a block");
            elseClose = FindMatching(elseOpen, end, '{', '}');
            if (elseClose == std::string::npos) return Report(kIParseMalformed, after, "'else' block without '}'");
            pos = elseClose + 1;
        }
        if (taken) return RunBlock(thenOpen + 1, thenClose, nesting + 1);
        if (elseOpen != std::string::npos) return RunBlock(elseOpen + 1, elseClose, nesting + 1);
        return kIParseOk;
    }

    Variable& NewVariable(const std::string& name, int kind) {
        Variable variable;
        variable.name = name;
        variable.kind = kind;
        m_context->variables.push_back(std::move(variable));
        return m_context->variables.back();
    }

    static void SetNumber(Variable& variable, const Value& value) {
        switch (variable.kind) {
        case kIParseInt:
            variable.intValue = value.isInt ? value.i : TruncateToInt(value.d);
            variable.doubleValue = variable.intValue;
            break;
        default:  // float and double keep the double and its truncation
            variable.doubleValue = value.d;
            variable.intValue = value.isInt ? value.i : TruncateToInt(value.d);
            break;
        }
    }

    static void CopyText(std::vector<char>& buffer, const std::string& text) {
        size_t n = text.size() < buffer.size() - 1 ? text.size() : buffer.size() - 1;
        std::fill(buffer.begin(), buffer.end(), '\0');
        std::memcpy(buffer.data(), text.data(), n);
    }

    // A quoted character: the tokens "'", the character (the first of its token), "'".
    static bool QuotedChar(const std::vector<IParseToken>& tokens, size_t at, size_t end, char* out) {
        if (end - at != 3 || !Is(tokens, at, "'") || !Is(tokens, at + 2, "'") || tokens[at + 1].text.empty())
            return false;
        *out = tokens[at + 1].text[0];
        return true;
    }

    // A size in square brackets at tokens[at]: an integral value from 1 to kMaxTextSize.
    bool BracketSize(const std::vector<IParseToken>& tokens, size_t at, size_t* size, size_t* next) const {
        if (!Is(tokens, at, "[")) return false;
        size_t close = at + 1;
        while (close < tokens.size() && !Is(tokens, close, "]")) ++close;
        if (close >= tokens.size()) return false;
        Value value;
        if (!Evaluate(m_context, tokens, at + 1, close, &value)) return false;
        if (value.d != std::floor(value.d) || value.d < 1 || value.d > static_cast<double>(kMaxTextSize)) return false;
        *size = static_cast<size_t>(value.d);
        *next = close + 1;
        return true;
    }

    int DeclareNumber(int kind, const std::vector<IParseToken>& tokens) {
        if (tokens.empty() || !IsIdentifier(tokens[0])) return kIParseMalformed;
        Value value = IntValue(0);
        if (tokens.size() > 1) {
            if (!Is(tokens, 1, "=") || !Evaluate(m_context, tokens, 2, tokens.size(), &value)) return kIParseMalformed;
        }
        SetNumber(NewVariable(tokens[0].text, kind), value);
        return kIParseOk;
    }

    int DeclareChar(const std::vector<IParseToken>& tokens) {
        if (tokens.empty() || !IsIdentifier(tokens[0])) return kIParseMalformed;
        const std::string& name = tokens[0].text;
        if (tokens.size() == 1) {
            NewVariable(name, kIParseChar);
            return kIParseOk;
        }
        if (Is(tokens, 1, "=")) {
            char c;
            if (!QuotedChar(tokens, 2, tokens.size(), &c)) return kIParseMalformed;
            NewVariable(name, kIParseChar).charValue = c;
            return kIParseOk;
        }
        size_t size, next;
        if (!BracketSize(tokens, 1, &size, &next)) return kIParseMalformed;
        std::string text;
        if (next < tokens.size()) {
            if (next + 2 != tokens.size() || !Is(tokens, next, "=") || tokens[next + 1].kind != IParseTokenKind::String)
                return kIParseMalformed;
            text = tokens[next + 1].text;
        }
        Variable& variable = NewVariable(name, kIParseText);
        variable.text.assign(size, '\0');
        CopyText(variable.text, text);
        return kIParseOk;
    }

    int Define(const std::vector<IParseToken>& tokens) {
        if (tokens.size() < 2 || !IsIdentifier(tokens[0])) return kIParseMalformed;
        const std::string& name = tokens[0].text;
        if (tokens[1].kind == IParseTokenKind::String) {
            if (tokens.size() != 2) return kIParseMalformed;
            Variable& variable = NewVariable(name, kIParseText);
            variable.text.assign(tokens[1].text.begin(), tokens[1].text.end());
            variable.text.push_back('\0');
            return kIParseOk;
        }
        Value value;
        if (!Evaluate(m_context, tokens, 1, tokens.size(), &value)) return kIParseMalformed;
        SetNumber(NewVariable(name, value.isInt ? kIParseInt : kIParseDouble), value);
        return kIParseOk;
    }

    int Include(const std::vector<IParseToken>& tokens) {
        if (tokens.size() != 1 || tokens[0].kind != IParseTokenKind::String) return kIParseMalformed;
        return IParse_OpenFile(tokens[0].text.c_str(), m_context);
    }

    int DefineStruct(const std::vector<IParseToken>& tokens) {
        if (tokens.size() < 2 || !IsIdentifier(tokens[0]) || !Is(tokens, 1, "{")) return kIParseMalformed;
        auto type = std::make_shared<StructType>();
        type->name = tokens[0].text;
        size_t at = 2;
        while (at < tokens.size()) {
            const std::string& keyword = tokens[at].text;
            int kind = keyword == "int" ? kIParseInt : keyword == "float" ? kIParseFloat
                     : keyword == "double" ? kIParseDouble : keyword == "char" ? kIParseChar : 0;
            if (!kind || tokens[at].kind != IParseTokenKind::Word || at + 1 >= tokens.size() ||
                !IsIdentifier(tokens[at + 1]))
                return kIParseMalformed;
            Field field{tokens[at + 1].text, kind, 0, type->recordSize};
            at += 2;
            switch (kind) {
            case kIParseInt:
            case kIParseFloat: field.size = 4; break;
            case kIParseDouble: field.size = 8; break;
            default: field.size = 1; break;
            }
            if (kind == kIParseChar && Is(tokens, at, "[")) {
                size_t next;
                if (!BracketSize(tokens, at, &field.size, &next)) return kIParseMalformed;
                field.kind = kIParseText;
                at = next;
            }
            if (!Is(tokens, at, ";")) return kIParseMalformed;
            ++at;
            type->recordSize += field.size;
            if (type->recordSize > kMaxRecordSize) return kIParseMalformed;
            type->fields.push_back(std::move(field));
        }
        if (type->fields.empty()) return kIParseMalformed;
        m_context->types.push_back(std::move(type));
        return kIParseOk;
    }

    int DeclareRecords(const std::shared_ptr<const StructType>& type, const std::vector<IParseToken>& tokens) {
        if (tokens.size() < 2 || !IsIdentifier(tokens[0]) || !Is(tokens, 1, "[")) return kIParseMalformed;
        size_t close = 2;
        while (close < tokens.size() && !Is(tokens, close, "]")) ++close;
        Value count;
        if (close >= tokens.size() || !Evaluate(m_context, tokens, 2, close, &count)) return kIParseMalformed;
        double bytes = count.d * static_cast<double>(type->recordSize);
        if (count.d != std::floor(count.d) || count.d < 0 || bytes > static_cast<double>(kMaxRecordBytes))
            return kIParseMalformed;
        size_t declared = static_cast<size_t>(count.d);
        if (!Is(tokens, close + 1, "=") || !Is(tokens, close + 2, "{")) return kIParseMalformed;

        std::vector<unsigned char> data(declared * type->recordSize, 0);
        size_t record = 0, field = 0;
        size_t at = close + 3;
        bool closed = false;
        while (at < tokens.size()) {
            // One value: the tokens up to a ',' or ';' or the closing brace, outside parentheses.
            size_t valueEnd = at;
            int parens = 0;
            for (; valueEnd < tokens.size(); ++valueEnd) {
                if (Is(tokens, valueEnd, "'") && Is(tokens, valueEnd + 2, "'")) {  // a quoted ',' or ';'
                    valueEnd += 2;
                    continue;
                }
                if (Is(tokens, valueEnd, "(")) ++parens;
                if (Is(tokens, valueEnd, ")")) --parens;
                if (parens <= 0 && (Is(tokens, valueEnd, ",") || Is(tokens, valueEnd, ";") || Is(tokens, valueEnd, "}")))
                    break;
            }
            if (valueEnd >= tokens.size()) return kIParseMalformed;  // no closing brace
            bool last = Is(tokens, valueEnd, "}");
            if (valueEnd == at) {
                if (last && field == 0) {  // nothing, or a separator before the brace
                    closed = true;
                    break;
                }
                return kIParseMalformed;
            }
            if (record >= declared) {
                Debug_Printf("IParse: %s: more than %zu records for '%s'\n", m_name.c_str(), declared,
                             tokens[0].text.c_str());
                return kIParseMalformed;
            }
            if (!StoreField(type->fields[field], data.data() + record * type->recordSize, tokens, at, valueEnd))
                return kIParseMalformed;
            if (++field == type->fields.size()) {
                field = 0;
                ++record;
            }
            at = valueEnd + 1;
            if (last) {
                closed = true;
                break;
            }
        }
        if (!closed) return kIParseMalformed;
        Variable& variable = NewVariable(tokens[0].text, kIParseRecords);
        variable.type = type;
        variable.count = static_cast<int>(record + (field ? 1 : 0));  // a record begun counts
        variable.data = std::move(data);
        return kIParseOk;
    }

    bool StoreField(const Field& field, unsigned char* record, const std::vector<IParseToken>& tokens, size_t at,
                    size_t end) const {
        unsigned char* out = record + field.offset;
        switch (field.kind) {
        case kIParseChar: {
            char c;
            if (!QuotedChar(tokens, at, end, &c)) return false;
            *out = static_cast<unsigned char>(c);
            return true;
        }
        case kIParseText: {
            if (end - at != 1 || tokens[at].kind != IParseTokenKind::String) return false;
            size_t n = tokens[at].text.size() < field.size - 1 ? tokens[at].text.size() : field.size - 1;
            std::memcpy(out, tokens[at].text.data(), n);
            return true;
        }
        default: {
            Value value;
            if (!Evaluate(m_context, tokens, at, end, &value)) return false;
            if (field.kind == kIParseInt) {
                int i = value.isInt ? value.i : TruncateToInt(value.d);
                std::memcpy(out, &i, sizeof i);
            } else if (field.kind == kIParseFloat) {
                float f = static_cast<float>(value.d);
                std::memcpy(out, &f, sizeof f);
            } else {
                std::memcpy(out, &value.d, sizeof value.d);
            }
            return true;
        }
        }
    }

    int Assign(const std::string& name, const std::vector<IParseToken>& tokens) {
        Variable* variable = FindVariable(m_context, name);
        if (!variable) return kIParseUnknown;
        if (tokens.size() < 2 || !Is(tokens, 0, "=")) return kIParseMalformed;
        switch (variable->kind) {
        case kIParseInt:
        case kIParseFloat:
        case kIParseDouble: {
            Value value;
            if (!Evaluate(m_context, tokens, 1, tokens.size(), &value)) return kIParseMalformed;
            SetNumber(*variable, value);
            return kIParseOk;
        }
        case kIParseChar: {
            char c;
            if (!QuotedChar(tokens, 1, tokens.size(), &c)) return kIParseMalformed;
            variable->charValue = c;
            return kIParseOk;
        }
        case kIParseText:
            if (tokens.size() != 2 || tokens[1].kind != IParseTokenKind::String) return kIParseMalformed;
            CopyText(variable->text, tokens[1].text);
            return kIParseOk;
        default:
            return kIParseMalformed;
        }
    }

    IParseContext* m_context;
    std::string m_name;
    std::string m_source;
};

// ---- Field paths ----

struct FieldRef {
    const unsigned char* address = nullptr;
    const Field* field = nullptr;
};

FieldRef FindFieldRef(const IParseContext* context, const char* path) {
    FieldRef ref;
    if (!context || !path) return ref;
    const char* open = std::strchr(path, '[');
    if (!open) return ref;
    std::string name(path, static_cast<size_t>(open - path));
    const char* p = open + 1;
    if (!IsDigit(*p)) return ref;
    int64_t index = 0;
    for (; IsDigit(*p); ++p) {
        index = index * 10 + (*p - '0');
        if (index > INT_MAX) return ref;
    }
    if (p[0] != ']' || p[1] != '.') return ref;
    const char* fieldName = p + 2;
    const Variable* variable = FindVariable(context, name.c_str());
    if (!variable || variable->kind != kIParseRecords || !variable->type || index >= variable->count) return ref;
    for (const Field& field : variable->type->fields) {
        if (field.name == fieldName) {
            size_t offset = static_cast<size_t>(index) * variable->type->recordSize + field.offset;
            if (offset + field.size > variable->data.size()) return ref;
            ref.address = variable->data.data() + offset;
            ref.field = &field;
            return ref;
        }
    }
    return ref;
}

void SetStatus(int* status, int value) {
    if (status) *status = value;
}

void CopyOut(char* buffer, size_t size, const char* text, size_t length) {
    if (!buffer || size == 0) return;
    if (length > size - 1) length = size - 1;
    if (length) std::memcpy(buffer, text, length);
    buffer[length] = '\0';
}

std::unique_ptr<char[]> Dup(const char* text, size_t length) {
    std::unique_ptr<char[]> copy(new char[length + 1]);
    if (length) std::memcpy(copy.get(), text, length);
    copy[length] = '\0';
    return copy;
}

}  // namespace

IParseContext* IParse_New() { return new IParseContext; }
void IParse_Free(IParseContext* context) { delete context; }

void IParse_AddSearchPath(IParseContext* context, const char* directory) {
    if (!context || !directory) return;
    std::string dir = directory;
    if (dir.empty() || (dir.back() != '\\' && dir.back() != '/')) dir += '\\';
    context->searchPaths.push_back(std::move(dir));
}

int IParse_ParseText(IParseContext* context, const char* text, size_t length, const char* name) {
    if (!context) return kIParseMalformed;
    Parser parser(context, name);
    return parser.Run(text ? text : "", text ? length : 0);
}

int IParse_OpenFile(const char* path, IParseContext* context) {
    if (!context || !path || !*path) return kIParseNotFound;
    for (const std::string& open : context->openFiles) {
        if (Text_CompareNoCase(open.c_str(), path) == 0) {
            Debug_Printf("IParse: \"%s\" includes itself\n", path);
            return kIParseMalformed;
        }
    }
    if (static_cast<int>(context->openFiles.size()) >= kIParseIncludeDepth) {
        Debug_Printf("IParse: includes nested deeper than %d at \"%s\"\n", kIParseIncludeDepth, path);
        return kIParseMalformed;
    }
    std::vector<char> bytes;
    bool found = false;
    for (const std::string& dir : context->searchPaths)
        if ((found = DataFile_ReadHostFile((dir + path).c_str(), &bytes))) break;
    if (!found) found = DataFile_ReadHostFile(path, &bytes);
    if (!found) found = DataFile_Load(path, &bytes);
    if (!found) return kIParseNotFound;

    context->openFiles.push_back(path);
    int status = IParse_ParseText(context, bytes.data(), bytes.size(), path);
    context->openFiles.pop_back();
    return status;
}

void IParse_Tokenize(const char* text, size_t length, std::vector<IParseToken>* tokens) {
    tokens->clear();
    size_t i = 0;
    while (i < length) {
        char c = text[i];
        if (IsSpaceOrControl(c)) {
            ++i;
            continue;
        }
        IParseToken token;
        if (c == '"') {
            size_t start = ++i;
            while (i < length && text[i] != '"') ++i;
            token.kind = IParseTokenKind::String;
            token.text.assign(text + start, (i - start) < kIParseTokenLimit ? i - start : kIParseTokenLimit);
            if (i < length) ++i;  // the closing quote
        } else if (IsWordChar(c)) {
            size_t start = i;
            int digits = 0, dots = 0;
            for (; i < length && IsWordChar(text[i]); ++i) {
                if (IsDigit(text[i])) ++digits;
                else if (text[i] == '.') ++dots;
            }
            size_t n = i - start;
            bool number = static_cast<size_t>(digits + dots) == n && digits > 0;
            token.kind = number && dots == 0 ? IParseTokenKind::Integer
                       : number && dots == 1 ? IParseTokenKind::Real
                                             : IParseTokenKind::Word;
            token.text.assign(text + start, n < kIParseTokenLimit ? n : kIParseTokenLimit);
        } else {
            token.kind = IParseTokenKind::Word;
            token.text.assign(1, c);
            ++i;
        }
        tokens->push_back(std::move(token));
    }
}

double IParse_Evaluate(const IParseContext* context, const std::vector<IParseToken>& tokens, int first, int last,
                       bool* isInteger, int* intValue, int* status) {
    Value value;
    bool ok = first >= 0 && last < static_cast<int>(tokens.size()) && first <= last;
    if (ok) {
        Evaluator evaluator(context, tokens, first, last);
        ok = evaluator.Run(&value);
    }
    if (!ok) value = Value{};
    SetStatus(status, ok ? 0 : -1);
    if (isInteger) *isInteger = value.isInt;
    if (intValue) *intValue = value.i;
    return value.d;
}

char IParse_GetChar(const IParseContext* context, const char* name, int* status) {
    const Variable* variable = FindVariable(context, name);
    SetStatus(status, variable ? 0 : -1);
    return variable ? variable->charValue : static_cast<char>(255);
}

int IParse_GetInt(const IParseContext* context, const char* name, int* status) {
    const Variable* variable = FindVariable(context, name);
    bool ok = variable && (variable->kind == kIParseInt || variable->kind == kIParseDouble);
    SetStatus(status, ok ? 0 : -1);
    return ok ? variable->intValue : -1;
}

float IParse_GetFloat(const IParseContext* context, const char* name, int* status) {
    const Variable* variable = FindVariable(context, name);
    bool ok = variable && (variable->kind == kIParseFloat || variable->kind == kIParseDouble);
    SetStatus(status, ok ? 0 : -1);
    return ok ? static_cast<float>(variable->doubleValue) : -1.0f;
}

double IParse_GetDouble(const IParseContext* context, const char* name, int* status) {
    const Variable* variable = FindVariable(context, name);
    bool ok = variable && (variable->kind == kIParseInt || variable->kind == kIParseDouble);
    SetStatus(status, ok ? 0 : -1);
    return ok ? variable->doubleValue : -1.0;
}

void IParse_GetString(const IParseContext* context, const char* name, int* status, char* buffer, size_t size) {
    const Variable* variable = FindVariable(context, name);
    bool ok = variable && variable->kind == kIParseText;
    SetStatus(status, ok ? 0 : -1);
    if (ok)
        CopyOut(buffer, size, variable->text.data(), strnlen(variable->text.data(), variable->text.size()));
    else
        CopyOut(buffer, size, "", 0);
}

std::unique_ptr<char[]> IParse_DupString(const IParseContext* context, const char* name, int* status) {
    const Variable* variable = FindVariable(context, name);
    bool ok = variable && variable->kind == kIParseText;
    SetStatus(status, ok ? 0 : -1);
    if (!ok) return nullptr;
    return Dup(variable->text.data(), strnlen(variable->text.data(), variable->text.size()));
}

int IParse_GetCount(const IParseContext* context, const char* name, int* status) {
    const Variable* variable = FindVariable(context, name);
    bool ok = variable && variable->kind == kIParseRecords;
    SetStatus(status, ok ? 0 : -1);
    return ok ? variable->count : -1;
}

const void* IParse_FindField(const IParseContext* context, const char* path) {
    return FindFieldRef(context, path).address;
}

char IParse_GetFieldChar(const IParseContext* context, const char* path, int* status) {
    FieldRef ref = FindFieldRef(context, path);
    SetStatus(status, ref.address ? 0 : -1);
    return ref.address ? static_cast<char>(*ref.address) : static_cast<char>(255);
}

namespace {
bool ReadNumberField(const FieldRef& ref, int kindA, int kindB, double* out) {
    if (!ref.address || (ref.field->kind != kindA && ref.field->kind != kindB)) return false;
    switch (ref.field->kind) {
    case kIParseInt: {
        int i;
        std::memcpy(&i, ref.address, sizeof i);
        *out = i;
        return true;
    }
    case kIParseFloat: {
        float f;
        std::memcpy(&f, ref.address, sizeof f);
        *out = f;
        return true;
    }
    case kIParseDouble:
        std::memcpy(out, ref.address, sizeof *out);
        return true;
    default:
        return false;
    }
}
}  // namespace

int IParse_GetFieldInt(const IParseContext* context, const char* path, int* status) {
    double value;
    bool ok = ReadNumberField(FindFieldRef(context, path), kIParseInt, kIParseDouble, &value);
    SetStatus(status, ok ? 0 : -1);
    return ok ? TruncateToInt(value) : -1;
}

float IParse_GetFieldFloat(const IParseContext* context, const char* path, int* status) {
    double value;
    bool ok = ReadNumberField(FindFieldRef(context, path), kIParseFloat, kIParseDouble, &value);
    SetStatus(status, ok ? 0 : -1);
    return ok ? static_cast<float>(value) : -1.0f;
}

double IParse_GetFieldDouble(const IParseContext* context, const char* path, int* status) {
    double value;
    bool ok = ReadNumberField(FindFieldRef(context, path), kIParseInt, kIParseDouble, &value);
    SetStatus(status, ok ? 0 : -1);
    return ok ? value : -1.0;
}

void IParse_GetFieldString(const IParseContext* context, const char* path, int* status, char* buffer, size_t size) {
    FieldRef ref = FindFieldRef(context, path);
    bool ok = ref.address && ref.field->kind == kIParseText;
    SetStatus(status, ok ? 0 : -1);
    if (ok) {
        const char* text = reinterpret_cast<const char*>(ref.address);
        CopyOut(buffer, size, text, strnlen(text, ref.field->size));
    } else {
        CopyOut(buffer, size, "", 0);
    }
}

std::unique_ptr<char[]> IParse_DupFieldString(const IParseContext* context, const char* path, int* status) {
    FieldRef ref = FindFieldRef(context, path);
    bool ok = ref.address && ref.field->kind == kIParseText;
    SetStatus(status, ok ? 0 : -1);
    if (!ok) return nullptr;
    const char* text = reinterpret_cast<const char*>(ref.address);
    return Dup(text, strnlen(text, ref.field->size));
}

void IParse_ResetId() { g_idCounter = 0; }
int IParse_NextId() { return g_idCounter < INT_MAX ? ++g_idCounter : g_idCounter; }
void IParse_RaiseId(int value) {
    if (g_idCounter < value) g_idCounter = value;
}
