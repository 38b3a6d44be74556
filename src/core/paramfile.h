// Parameter files: a small C-like language of typed declarations, structure types with
// record arrays, "#define", "#include", assignments and if/else blocks, with an expression
// evaluator. After parsing, values are fetched by name or by a field path "name[index].field".
#pragma once
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

struct IParseContext;

// Variable and field kinds.
enum : int {
    kIParseInt = 1,
    kIParseFloat = 2,
    kIParseDouble = 3,
    kIParseChar = 4,
    kIParseRecords = 8,
    kIParseText = 10,
};

// Statement and file statuses.
enum : int {
    kIParseOk = 0,
    kIParseMalformed = -1,
    kIParseUnknown = -2,    // unknown statement word or assigned name
    kIParseNotFound = 10,   // IParse_OpenFile: the file is nowhere
};

constexpr size_t kIParseTokenLimit = 80;  // characters kept of one token
constexpr int kIParseIncludeDepth = 16;   // files open inside one another at most

enum class IParseTokenKind { Integer, Real, String, Word };  // Word: a name or one punctuation mark
struct IParseToken {
    IParseTokenKind kind;
    std::string text;  // a string without its quotes
};

IParseContext* IParse_New();
void IParse_Free(IParseContext* context);
// Appends a directory to the search list, with a trailing '\' when it has no separator at its end.
void IParse_AddSearchPath(IParseContext* context, const char* directory);

// Parses the file into the context: tried as each search directory followed by path, then as
// path alone, then through the data-file loader. 0 on success, 10 when the file is nowhere,
// otherwise the status of the first failing statement (what came before it stays declared).
int IParse_OpenFile(const char* path, IParseContext* context);
// The same over text in memory; name only labels the diagnostics.
int IParse_ParseText(IParseContext* context, const char* text, size_t length, const char* name);

// Lookups by variable name. status (may be null) is 0 when found and -1 when missing or of a
// kind that does not fit; the value is then -1 (255 for a char).
// int: kinds int and double; float: float and double; double: int and double; char: any kind.
char IParse_GetChar(const IParseContext* context, const char* name, int* status);
int IParse_GetInt(const IParseContext* context, const char* name, int* status);
float IParse_GetFloat(const IParseContext* context, const char* name, int* status);
double IParse_GetDouble(const IParseContext* context, const char* name, int* status);
// A text variable into the caller's buffer (cut to size - 1, zero-terminated; "" on a miss).
void IParse_GetString(const IParseContext* context, const char* name, int* status, char* buffer, size_t size);
// A new copy of a text variable; null on a miss.
std::unique_ptr<char[]> IParse_DupString(const IParseContext* context, const char* name, int* status);
// The number of records a record array was given; -1 when missing.
int IParse_GetCount(const IParseContext* context, const char* name, int* status);

// The address of a field of a record array from "name[index].field" (index a decimal
// constant below the record count); null when the variable, record or field is missing.
// Fields are packed without padding: read them with memcpy.
const void* IParse_FindField(const IParseContext* context, const char* path);
char IParse_GetFieldChar(const IParseContext* context, const char* path, int* status);
int IParse_GetFieldInt(const IParseContext* context, const char* path, int* status);
float IParse_GetFieldFloat(const IParseContext* context, const char* path, int* status);
double IParse_GetFieldDouble(const IParseContext* context, const char* path, int* status);
void IParse_GetFieldString(const IParseContext* context, const char* path, int* status, char* buffer,
                           size_t size);
std::unique_ptr<char[]> IParse_DupFieldString(const IParseContext* context, const char* path, int* status);

// Splits statement text into tokens: word characters (letters, digits, '.', '_') make names
// and numbers, a double-quoted string is one token, every other mark is a token of its own.
void IParse_Tokenize(const char* text, size_t length, std::vector<IParseToken>* tokens);
// Evaluates tokens[first..last] (inclusive). Returns the value; isInteger and intValue (may be
// null) tell whether it is an integer and its int value. status -1 when the range is empty, an
// operand is unknown, the expression is malformed or an integer is divided by zero.
double IParse_Evaluate(const IParseContext* context, const std::vector<IParseToken>& tokens, int first, int last,
                       bool* isInteger, int* intValue, int* status);

// A running id counter: back to 0; the next value (1 after a reset); raised so that the next
// value is above value.
void IParse_ResetId();
int IParse_NextId();
void IParse_RaiseId(int value);
