#include "ClientReport.h"

#include "ConnectionSecrets.h"
#include "Model.h"
#include "ReportLines.h"

namespace halvio {

namespace {
AddressFields readAddressFields(const DataSet& setup) {
    AddressFields f;
    f.adres1 = setup.text("ADRES1");
    f.adres2 = setup.text("ADRES2");
    f.ville = setup.text("VILLE");
    f.postal = setup.text("POSTAL");
    f.prov = setup.text("PROV");
    f.region = setup.text("REGION");
    f.tel = setup.text("TEL");
    f.tel2 = setup.text("TEL2");
    f.fax = setup.text("FAX");
    f.contact = setup.text("CONTACT");
    f.courriel = setup.text("COURRIEL");
    f.maj = setup.dateTime("MAJ");
    return f;
}

// Leaves the fax database as it was found after a failure part-way through the statistics.
void abandonFaxDatabase(Model& model) noexcept {
    try {
        if (model.IBTransaction6.isActive())
            model.IBTransaction6.rollback();
    } catch (const std::exception&) {
    }
    try {
        if (model.ibfax.isOpen())
            model.ibfax.close();
    } catch (const std::exception&) {
    }
}
} // namespace

std::optional<std::string> readFaxLine(Model& model, const DateTime& now) {
    Transaction& transaction = model.IBTransaction6;
    try {
        model.ibfax.setPassword(secrets::kFirstDatabasePassword);
        model.ibfax.open();

        // SUBSTR comes from ib_udf and must be declared in the fax database; once declared it
        // stays, so the declaration fails on every later run and the query goes on regardless.
        transaction.start();
        try {
            model.ibf.setSql(substrDeclaration());
            model.ibf.execute();
            transaction.commit();
        } catch (const std::exception&) {
            if (transaction.isActive())
                transaction.rollback();
        }

        transaction.start();
        model.ibf.setSql(faxStatisticsQuery(faxDateWindow(now)));
        model.ibf.execute();
        std::vector<FaxCount> rows;
        for (; !model.ibf.eof(); model.ibf.next())
            rows.push_back({model.ibf.text("SITE"), model.ibf.text("DATES"), model.ibf.text("QTE")});
        transaction.rollback();
        model.ibfax.close();
        return faxLine(rows);
    } catch (const std::exception&) {
        abandonFaxDatabase(model);
        return std::nullopt;
    }
}

std::optional<std::string> readSiteLine(Model& model) {
    try {
        model.ExecSql("select * from site ");
        SqlStatement& sql = model.IBSQL1;
        std::vector<SiteRow> rows;
        for (; !sql.eof(); sql.next())
            rows.push_back({sql.text("id"), sql.text("nom"), sql.text("adresse"), sql.text("ville"),
                            sql.text("fax"), sql.text("faxid"), sql.text("faxnom"), sql.text("faxtel")});
        return siteLine(rows);
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

std::vector<std::string> readUserLines(Model& model) {
    DataSet& users = model.tuser;
    // Closed first so that the repeated run without proxy reads the users again from the start.
    users.close();
    users.open();
    std::vector<std::string> lines;
    for (; !users.eof(); users.next()) {
        UserRow row{
            users.text("ID"), users.text("RECHERCHE"), users.text("TITRE"), users.text("ACCES25"), {}};
        try {
            row.dernacces = users.text("DERNACCES");
        } catch (const std::exception&) {
            // The line goes without its last access rather than not at all.
        }
        lines.push_back(userLine(row));
    }
    users.close();
    return lines;
}

ClientReport buildClientReport(Model& model, const DateTime& now) {
    ClientReport report;
    report.client = model.TSETUP.text("CLIENT");
    if (!isNewClient(report.client)) {
        AddressFields address = readAddressFields(model.TSETUP);
        address.client = report.client;
        report.lines.push_back(*addressStatement(address));
    }
    if (auto line = readFaxLine(model, now))
        report.lines.push_back(std::move(*line));
    if (auto line = readSiteLine(model))
        report.lines.push_back(std::move(*line));
    for (auto& line : readUserLines(model))
        report.lines.push_back(std::move(line));
    return report;
}

} // namespace halvio
