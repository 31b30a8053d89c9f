#pragma once
// The Firebird client library behind RAII objects: attachments, transactions and DSQL statements.
// SQL dialect 3, no character set (texts pass as their stored bytes). Every failure of the client
// library becomes a DatabaseError carrying the server's message text. Only this folder includes
// the client library's own header.

#include "DatabaseError.h"
#include "FbAttachment.h"
#include "FbStatement.h"
