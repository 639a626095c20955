#pragma once
// File existence, chunked binary file transfer and the path splitter.
// Files are addressed by small numbers (1 to 255, 0 meaning none), opened
// shared and positioned at the first byte; data travels as byte strings.

#include <string>

namespace mVBUtil {

// True when the path (wildcards allowed) names a regular file.
bool FileExists(const std::string& path);
// An existing file, for reading or for reading and writing; 0 on failure.
int OpenBinaryFile(const std::string& path, bool forWrite);
// A new file; 0 when the path exists (it is never overwritten) or on failure.
int CreateBinaryFile(const std::string& path);
// Writes at most maxLen characters at the current position; 0 on failure.
int WriteFileChunk(int fileNo, const std::string& data, int maxLen);
// Reads up to maxLen bytes; 0 and the empty text at the end or on failure.
int ReadFileChunk(int fileNo, std::string& data, int maxLen);
void CloseBinaryFile(int fileNo);

// Splits at the last "\" after turning every "/" into "\"; a directory
// shorter than 3 characters gets a "\" appended ("D:" -> "D:\").
void SplitPath(const std::string& path, std::string& directory, std::string& fileName);

}  // namespace mVBUtil
