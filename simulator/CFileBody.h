#pragma once

#include "CSimBody.h"

#include <QFile>
#include <QString>

// A file on disk served as it is, read piece by piece.
class CFileBody : public CSimBody
{
public:
    explicit CFileBody(const QString& strPath);

    bool isOpen() const { return m_file.isOpen(); }
    std::uint64_t size() const override { return m_nSize; }
    bool read(std::uint64_t nOffset, char* pBuffer, std::size_t nLength) override;

private:
    QFile m_file;
    std::uint64_t m_nSize = 0;
};
