#pragma once
// A small system directory for the stand-in server's tests.

#include <string>

namespace testsupport {

// InitSystem with user ADMIN/SECRET, then project "Demo Project" with three
// boundary levels and two info fields, open to ADMIN.
void MakeTestSystem(const std::string& dir);

// The ProjectRecord reply the engine gives for it.
std::string ExpectedDemoRecord();

// MakeTestSystem with pages K00001.. (a document every 5 pages, a folder
// every 20, a box every 50), the tag "Hot" on the first hotCount pages and
// "Even" on the even pages, dates descending on pages 1 to 10 (20000129
// down), OCR text on pages 7 and 8, a note on page 12.
void MakeQuerySystem(const std::string& dir, int pages, int hotCount);
std::string PageKey(int n);

// One annotation record as the viewer writes it, with the given stamp and
// text; its other fields are numbers.
std::string AnnotationRecord(const std::string& text, const std::string& stamp = "");

}  // namespace testsupport
