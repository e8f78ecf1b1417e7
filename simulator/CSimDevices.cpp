#include "CSimDevices.h"

void CSimDevices::setKnobs(const QString& strDeviceId, const QString& strQuery)
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    if (strQuery.isEmpty()) {
        m_mapKnobs.remove(strDeviceId);
    } else {
        m_mapKnobs.insert(strDeviceId, strQuery);
    }
}

QString CSimDevices::knobs(const QString& strDeviceId) const
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_mapKnobs.value(strDeviceId);
}

void CSimDevices::record(const Request& request)
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    // A program that serves for days must not grow without end.
    if (m_listRequests.size() >= kMaxRequests) {
        m_listRequests.removeFirst();
    }
    m_listRequests.append(request);
}

QList<CSimDevices::Request> CSimDevices::requests() const
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_listRequests;
}

QList<CSimDevices::Request> CSimDevices::requests(const QString& strDeviceId) const
{
    QList<Request> listOfDevice;
    const QList<Request> listAll = requests();
    for (const Request& request : listAll) {
        if (request.strDeviceId == strDeviceId) {
            listOfDevice.append(request);
        }
    }
    return listOfDevice;
}

QStringList CSimDevices::ranges(const QString& strDeviceId, const QString& strKind) const
{
    QStringList listRanges;
    const QList<Request> listOfDevice = requests(strDeviceId);
    for (const Request& request : listOfDevice) {
        if (request.strMethod == QLatin1String("GET") && request.strKind == strKind) {
            listRanges.append(request.strRange);
        }
    }
    return listRanges;
}

void CSimDevices::clearRequests()
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_listRequests.clear();
}
