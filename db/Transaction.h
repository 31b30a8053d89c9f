#pragma once
// A transaction of the model (IBTransaction1, 4, 5, 6) with its fixed options.

#include "Database.h"

namespace halvio {

class Transaction {
public:
    Transaction(Database& database, platform::TransactionOptions options)
        : m_database(database), m_transaction(database.attachment(), options) {}

    void start() { m_transaction.start(); }
    void commit() { m_transaction.commit(); }
    void rollback() { m_transaction.rollback(); }
    bool isActive() const { return m_transaction.isActive(); }
    // The options of the next start; an active transaction keeps those it started with.
    platform::TransactionOptions options() const { return m_transaction.options(); }
    void setOptions(platform::TransactionOptions options) { m_transaction.setOptions(options); }

    Database& database() { return m_database; }
    platform::FbTransaction& handle() { return m_transaction; }

private:
    Database& m_database;
    platform::FbTransaction m_transaction;
};

} // namespace halvio
