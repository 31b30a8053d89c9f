#include "PackageNames.h"

#include "Fonction.h"
#include "ServiceAddress.h"

namespace halvio {

std::string packageFileName(std::string_view nom) {
    return lowerAscii(Trimmed(nom)) + ".zip";
}

bool isPlainPackageName(std::string_view trimmedName) {
    if (trimmedName.empty() || trimmedName.find("..") != std::string_view::npos)
        return false;
    for (char c : trimmedName) {
        const auto code = static_cast<unsigned char>(c);
        if (code < 32 || code == 127 || std::string_view("/\\:?*<>\"").find(c) != std::string_view::npos)
            return false;
    }
    return true;
}

std::string packageAddress(std::string_view host, std::string_view fileName) {
    std::string address = serviceAddress(host);
    address += "/kliso/update/";
    address += percentEncoded(fileName);
    return address;
}

std::string packageKindName(std::string_view fileName) {
    const size_t kept = fileName.size() >= 4 ? fileName.size() - 4 : 0;
    return upperAscii(fileName.substr(0, kept));
}

bool isScriptPackage(std::string_view kindName) {
    return kindName.starts_with("SQL_");
}

std::string recordName(std::string_view nom) {
    return ReplaceAll(Trimmed(nom), "HALVIO27", "HALVIO26");
}

std::string recordLookupSql(std::string_view recordName) {
    return "select * from maj where nom=" + Quoted(recordName);
}

std::string recordUpdateSql(std::string_view recordName, std::string_view description,
                            std::string_view dates) {
    // The row found by the lookup is the one changed, so a package stored under another record name
    // (HALVIO27 as HALVIO26) updates that row instead of looking for one under its own name.
    return "update maj set NOM=" + Quoted(recordName) + ",Description=" + Quoted(description) +
           ",DATES=" + Quoted(dates) + ",FICHIER=:image  where nom=" + Quoted(recordName);
}

std::string recordInsertSql(std::string_view recordName, std::string_view description,
                            std::string_view dates) {
    return "insert into maj (NOM,description,DATES,FICHIER) VALUES (" + Quoted(recordName) + "," +
           Quoted(description) + "," + Quoted(dates) + ",:image)";
}

std::string endOfRunStampSql(std::string_view stamp) {
    return "update setup set maj =" + Quoted(stamp);
}

} // namespace halvio
