#pragma once
// Names the transfer derives from a package row: the package file, its address on a host, the kind
// that tells a script from other packages, the name it is recorded under, and the SQL texts of the
// record and of the end-of-run stamp. Texts are Windows-1252 bytes.

#include "PercentEncoding.h"

#include <string>
#include <string_view>

namespace halvio {

// The trimmed package name in lower case followed by ".zip": " Sql_Test " gives "sql_test.zip".
std::string packageFileName(std::string_view nom);

// Whether a trimmed package name may become a file name in the update folder: not empty, and free
// of "/", "\", "..", control characters and the characters that the clinics' Windows file systems
// refuse in a name (":", "?", "*", "<", ">", """). A name from the package list that fails this is
// never used in a path; blanks and "#" are fine (the address percent-encodes them).
bool isPlainPackageName(std::string_view trimmedName);

// serviceAddress(host) + "/kliso/update/" + the percent-encoded fileName: a blank, "#" or "?" in a
// package name stays part of the file asked for.
std::string packageAddress(std::string_view host, std::string_view fileName);

// The package file name without its last four characters (".zip"), upper-cased.
std::string packageKindName(std::string_view fileName);

// Script packages run line by line before they are recorded.
bool isScriptPackage(std::string_view kindName);

// The trimmed package name with "HALVIO27" replaced by "HALVIO26": both names stand for one program
// file, so they share one row of MAJ.
std::string recordName(std::string_view nom);

// The statements that record a package in MAJ; the package content is bound to :image.
std::string recordLookupSql(std::string_view recordName);
std::string recordUpdateSql(std::string_view recordName, std::string_view description,
                            std::string_view dates);
std::string recordInsertSql(std::string_view recordName, std::string_view description,
                            std::string_view dates);

// "update setup set maj =" + the quoted stamp "yyyy.mm.dd hh:nn:ss".
std::string endOfRunStampSql(std::string_view stamp);

} // namespace halvio
