// The named-field archive: every saving class writes its fields one after another through the
// writers below and reads them back, in the same order, through the readers.
//
// A stream has one of two forms, chosen by the binary-form flag:
//   text:   CR LF lines; an array field is a header line "name [count] =" followed by one line
//           per element; raw bytes, fixed strings and pointers sit whole on one "name = ..." line;
//   binary: one record per field: tag byte, zero byte, 16-bit little-endian byte length, bytes.
// Writers write to an open stream; readers read from one whole file image between
// Field_BeginRead and Field_EndRead (one read state, never nested).
//
// Every writer takes (stream, address of the data, byte length of the whole field, field name)
// and returns false when the stream refused the bytes. Every reader takes (field name,
// destination, byte length) and returns false on the first mismatch; callers chain reads with
// "&&" and give up at the first false. Nothing is ever stored past the destination's length.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "core/mathlib.h"

// The format version written by this program.
constexpr int32_t kSaveVersionCurrent = 1039;

// Binary record tags.
enum FieldTag : uint8_t {
    kFieldTagBytes = 0,
    kFieldTagBool = 1,
    kFieldTagString = 2,  // fixed strings and char arrays
    kFieldTagShort = 3,   // short and unsigned short
    kFieldTagInt = 4,     // int, long and hex word
    kFieldTagFloat = 5,
    kFieldTagDouble = 6,
    kFieldTagId = 7,
    kFieldTagPointer = 8,
    kFieldTagVector = 9,
    kFieldTagVector2D = 10,
    kFieldTagMatrix = 11,
};

constexpr size_t kFieldMaxLength = 65535;  // a binary record's length is 16 bits
constexpr size_t kFieldVectorSize = 12;    // three floats x, y, z
constexpr size_t kFieldVector2DSize = 8;   // floats x, z
constexpr size_t kFieldMatrixSize = 64;    // nine floats, a 4-byte gap, three doubles
constexpr size_t kFieldMatrixGapOffset = 36;
constexpr size_t kFieldMatrixPositOffset = 40;
constexpr size_t kFieldPhysicsSize = 60;   // six floats, three vectors

// Field name under which saving classes write pointer values.
constexpr const char* kFieldUndefPtr = "undefptr";

// The physics state's stored layout (60 bytes); the motion record that is saved this way has
// these members in this order.
struct PhysicsState {
    float mass;
    float mass_inv;
    float v_mag;
    float v_mag_inv;
    float I;
    float k_i;
    Vector v;
    Vector omega;
    Vector Accel;
};
static_assert(sizeof(PhysicsState) == kFieldPhysicsSize);
static_assert(sizeof(Vector) == kFieldVectorSize && sizeof(Vector2D) == kFieldVector2DSize);
static_assert(sizeof(Matrix) == kFieldMatrixSize && offsetof(Matrix, gap) == kFieldMatrixGapOffset &&
              offsetof(Matrix, posit) == kFieldMatrixPositOffset);

// The binary-form flag: set by the save code before writing, by the loader from the stream's
// "binarySave" field; false between uses.
void Field_SetBinary(bool binary);
bool Field_IsBinary();
// The version of the stream being read; loaders compare it to decide which fields exist.
void Field_SetVersion(int32_t version);
int32_t Field_Version();

// ---- Writers ----
bool Field_WriteBytes(FILE* stream, const void* data, size_t length, const char* name);
bool Field_WriteBool(FILE* stream, const void* data, size_t length, const char* name);
bool Field_WriteString(FILE* stream, const void* data, size_t length, const char* name);
bool Field_WriteChar(FILE* stream, const void* data, size_t length, const char* name);
bool Field_WriteShort(FILE* stream, const void* data, size_t length, const char* name);
bool Field_WriteUShort(FILE* stream, const void* data, size_t length, const char* name);
bool Field_WriteInt(FILE* stream, const void* data, size_t length, const char* name);
bool Field_WriteLong(FILE* stream, const void* data, size_t length, const char* name);  // 32-bit
bool Field_WriteHex(FILE* stream, const void* data, size_t length, const char* name);   // 32-bit
bool Field_WriteFloat(FILE* stream, const void* data, size_t length, const char* name);
bool Field_WriteDouble(FILE* stream, const void* data, size_t length, const char* name);
bool Field_WriteId(FILE* stream, const void* data, size_t length, const char* name);
bool Field_WriteVector(FILE* stream, const void* data, size_t length, const char* name);
bool Field_WriteVector2D(FILE* stream, const void* data, size_t length, const char* name);
bool Field_WriteMatrix(FILE* stream, const void* data, size_t length, const char* name);
bool Field_WritePhysics(FILE* stream, const void* data, size_t length, const char* name);
// A pointer field holds a 32-bit value: a save id (see core/fixup.h) or 0. The text form prints
// it as eight upper-case hexadecimal digits.
bool Field_WritePointerValue(FILE* stream, uint32_t value, const char* name);
// Writes the save id of object (0 for null), so that the loader can re-link it.
bool Field_WritePointer(FILE* stream, const void* object, const char* name);
// The label line (text form only; the binary form writes nothing).
bool Field_WriteLabel(FILE* stream, const char* label);

// ---- Read state ----
// Starts reading the buffer (cursor at its start) and returns it.
const void* Field_BeginRead(const void* buffer, size_t length);
// Ends reading and returns the buffer, which the caller frees.
const void* Field_EndRead();
bool Field_IsReading();
// The cursor's offset from the buffer's start.
size_t Field_ReadOffset();

// ---- Readers ----
bool Field_ReadBytes(const char* name, void* dest, size_t length);
bool Field_ReadBool(const char* name, void* dest, size_t length);
// The text form takes the whole rest of the name line (so "SW Geyser" stays whole); an empty
// value reads as the empty string. A longer text is cut to the field's length.
bool Field_ReadString(const char* name, void* dest, size_t length);
bool Field_ReadChar(const char* name, void* dest, size_t length);
bool Field_ReadShort(const char* name, void* dest, size_t length);
bool Field_ReadUShort(const char* name, void* dest, size_t length);
bool Field_ReadInt(const char* name, void* dest, size_t length);
bool Field_ReadLong(const char* name, void* dest, size_t length);
bool Field_ReadHex(const char* name, void* dest, size_t length);
bool Field_ReadFloat(const char* name, void* dest, size_t length);
bool Field_ReadDouble(const char* name, void* dest, size_t length);
bool Field_ReadId(const char* name, void* dest, size_t length);
bool Field_ReadVector(const char* name, void* dest, size_t length);
// Streams older than version 1003 hold the 2-D vector as raw bytes.
bool Field_ReadVector2D(const char* name, void* dest, size_t length);
// The text form does not restore the matrix's gap bytes.
bool Field_ReadMatrix(const char* name, void* dest, size_t length);
bool Field_ReadPhysics(const char* name, void* dest, size_t length);
bool Field_ReadPointer(const char* name, uint32_t* value);
// Whether the next field is a pointer field of the name (text form: its line names it; binary
// form: its record is a pointer's). Reads nothing: for loaders of records that an older form
// holds with one more field.
bool Field_NextIsPointer(const char* name);
// Text form: the next line must begin with the label (the line is consumed either way).
// Binary form: succeeds at once.
bool Field_ReadLabel(const char* label);

// Typed conveniences for single values.
inline bool Field_WriteInt(FILE* stream, const int32_t& value, const char* name) {
    return Field_WriteInt(stream, &value, sizeof value, name);
}
inline bool Field_ReadInt(const char* name, int32_t* value) { return Field_ReadInt(name, value, sizeof *value); }
inline bool Field_WriteFloat(FILE* stream, const float& value, const char* name) {
    return Field_WriteFloat(stream, &value, sizeof value, name);
}
inline bool Field_ReadFloat(const char* name, float* value) { return Field_ReadFloat(name, value, sizeof *value); }
inline bool Field_WriteBool(FILE* stream, const bool& value, const char* name) {
    const uint8_t byte = value ? 1 : 0;
    return Field_WriteBool(stream, &byte, 1, name);
}
inline bool Field_ReadBool(const char* name, bool* value) {
    uint8_t byte = 0;
    if (!Field_ReadBool(name, &byte, 1)) return false;
    *value = byte != 0;
    return true;
}
