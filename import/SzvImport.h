#pragma once
// The SZV-6 folder import: every "*.xml" file of a folder (names in any
// letter case, read in byte order of their names), initial records into
// ImpTable, corrective records into CorrTable.
#include <string>
#include <vector>

#include "tables/NumberFormat.h"
#include "tables/Prompts.h"
#include "tables/WorkingTables.h"
#include "xml/ByteBuffer.h"

namespace quarlex {

struct SzvImportOptions {
    bool categoryMode = false; // CategoryCB
};

// Full paths of the files (not directories) of `folder` whose names match
// `pattern` ('*' and '?' wildcards, letter case ignored), sorted by name.
std::vector<std::string> ListFiles(const std::string& folder, const std::string& pattern);

// One file. Row refusals go to `prompts`; a conversion error, an unreadable
// file or text that does not parse raises Error whose text is the message,
// then a line naming the file (and the record number where one applies):
//   "'abc' is not a valid integer value\r\nФайл: /path/x.xml, запись 3"
//   "Error while parsing XML document:...\r\nФайл: /path/x.xml"
// Records are counted from 1 in document order. The decimal separator is '.'
// while the file is read and restored afterwards in every case. A file over
// 256 MiB is refused before it is read, naming its size; running out of
// memory is an Error naming the file too.
void ImportXmlFile(WorkingTables& tables, const std::string& path, const SzvImportOptions& options,
                   NumberFormat& format, Prompts& prompts);

// The file's bytes and its decoded text, kept from one file to the next: the
// reader parses the text where it lies.
struct SzvReadBuffers {
    ByteBuffer bytes;
    ByteBuffer text;
};

// The same, reading through `buffers`.
void ImportXmlFile(WorkingTables& tables, const std::string& path, const SzvImportOptions& options,
                   NumberFormat& format, Prompts& prompts, SzvReadBuffers& buffers);

// ListFiles(folder, "*.xml") and ImportXmlFile for each, in list order.
void importFolder(WorkingTables& tables, const std::string& folder, const SzvImportOptions& options,
                  NumberFormat& format, Prompts& prompts);

} // namespace quarlex
