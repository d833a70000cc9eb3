// The functions that fetch a whole blob of bytes from where the program keeps data: a file on
// disk, a resource built into the program, a member of a ZIP archive held in memory, a UTF-8 text
// file. Each fills a buffer the caller owns and gives a bool. No state of their own; safe from any
// thread (the archive object of LoadZipMember is used by one thread at a time).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace Pelk {
class Unzip;
} // namespace Pelk

namespace Vuxo {

using ByteBuffer = std::vector<char>;

// The whole regular file at `utf8Path`. False when it cannot be opened, is not a regular file or
// could not be read whole (it shrank meanwhile); the buffer is then emptied.
bool LoadFileData(ByteBuffer& buffer, const std::string& utf8Path);

// The bytes of the resource with this id and type name (ASCII case does not matter in the type)
// from the tables registered with RegisterResourceTable. False when there is none or it is empty;
// the buffer is then unchanged.
bool LoadResourceData(ByteBuffer& buffer, uint16_t id, const std::string& typeName);

// As Unzip::ExtractFile.
bool LoadZipMember(ByteBuffer& buffer, const std::string& memberName, Pelk::Unzip& archive);

// The bytes of a text file after its UTF-8 byte-order mark. False when the file cannot be read
// whole or does not begin with the mark (a file of 2 bytes or fewer never does); the text is then
// unchanged.
bool LoadUtf8TextFile(std::string& text, const std::string& utf8Path);
bool LoadUtf8TextFile(std::string& text, const std::u16string& path);

// True when the 3 bytes at `bytes` are the UTF-8 byte-order mark EF BB BF.
bool HasUtf8Bom(const void* bytes);

} // namespace Vuxo
