#pragma once
// The lines of the client report, composed from plain values. Every text is Windows-1252 bytes as
// the database gave it; nothing is escaped, so a value holding "~", "|" or "=" goes out unchanged.

#include "DateTime.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace halvio {

// The SETUP columns the address statement is made of, as read (CHAR padding kept).
struct AddressFields {
    std::string adres1, adres2, ville, postal, prov, region, tel, tel2, fax, contact, courriel;
    DateTime maj; // day zero when SETUP.MAJ is null
    std::string client;
};

// MAJ as the service wants it: one day before the stored moment, the time left out at midnight.
std::string majReportText(const DateTime& maj);

// True for a clinic without a client code yet: no address statement is sent for it.
bool isNewClient(std::string_view client);

// "update client set adres1=...,MAJ='...' WHERE CODE='C1234     '", or nothing for a new client.
std::optional<std::string> addressStatement(const AddressFields& fields);

// One row of the fax statistics query, each value in the database's text form.
struct FaxCount {
    std::string site, dates, qte;
};
// "FAX=" and one "site~dates~qte|" group per row; nothing when there is no row.
std::optional<std::string> faxLine(const std::vector<FaxCount>& rows);

struct SiteRow {
    std::string id, nom, adresse, ville, fax, faxid, faxnom, faxtel;
};
// "SITE=" and one "id~nom~...~faxtel|" group per row; nothing when there is no row.
std::optional<std::string> siteLine(const std::vector<SiteRow>& rows);

struct UserRow {
    std::string id, recherche, titre, acces25;
    // Empty when the last access could not be read: the line then has no "|Dernacces=" part.
    std::optional<std::string> dernacces;
};
std::string userLine(const UserRow& row);

// The bounds of the fax statistics, both excluded: three calendar months back, and yesterday.
struct FaxDateWindow {
    std::string lower, upper; // "yyyy.mm.dd"
};
FaxDateWindow faxDateWindow(const DateTime& now);

// The function declaration that the fax query needs in the fax database.
std::string substrDeclaration();
std::string faxStatisticsQuery(const FaxDateWindow& window);

// The request body: each line followed by CR LF; no line gives no byte.
std::string reportBody(const std::vector<std::string>& lines);

} // namespace halvio
