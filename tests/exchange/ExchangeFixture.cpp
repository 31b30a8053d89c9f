#include "ExchangeFixture.h"

namespace halvio::test {

void ExchangeFixture::createClinic(const std::vector<std::string>& statements) {
    ClinicOptions options;
    options.withEscompte = true;
    createClinicDatabase(clinic, server.password, options);
    execute(clinic, server.password, statements);
}

void ExchangeFixture::createFax(const std::vector<std::string>& statements) {
    createFaxDatabase(fax, server.password);
    execute(fax, server.password, statements);
}

void ExchangeFixture::openClinic() {
    model.IB.setConnectionName(clinic);
    model.IB.setPassword(server.password);
    model.ibfax.setConnectionName(fax);
    model.IB.open();
}

} // namespace halvio::test
