#include "CFileBody.h"

CFileBody::CFileBody(const QString& strPath) : m_file(strPath)
{
    if (m_file.open(QIODevice::ReadOnly)) {
        // The size is fixed when the response starts; a file growing meanwhile is cut there.
        m_nSize = static_cast<std::uint64_t>(m_file.size());
    }
}

bool CFileBody::read(std::uint64_t nOffset, char* pBuffer, std::size_t nLength)
{
    if (!m_file.isOpen() || nOffset > m_nSize || nLength > m_nSize - nOffset) {
        return false;
    }
    if (!m_file.seek(static_cast<qint64>(nOffset))) {
        return false;
    }
    std::size_t nDone = 0;
    while (nDone < nLength) {
        const qint64 nRead = m_file.read(pBuffer + nDone, static_cast<qint64>(nLength - nDone));
        if (nRead <= 0) {
            return false;
        }
        nDone += static_cast<std::size_t>(nRead);
    }
    return true;
}
