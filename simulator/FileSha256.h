#pragma once

#include <QByteArray>
#include <QString>

// Hex SHA-256 of a file on disk; empty when it cannot be read. Tests and the demo tour compare
// downloaded files with what the simulator served.
QByteArray fileSha256(const QString& strPath);
