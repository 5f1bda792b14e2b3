#include "CResidentSize.h"

#include <QFile>

#include <algorithm>

namespace CResidentSize {

long Kb(qint64 nPid) {
    QFile status(QString("/proc/%1/status").arg(nPid));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').front().toLong();
    return 0;
}

double SlopeKb(const std::vector<std::pair<int, long>> &floors) {
    double sx = 0, sy = 0, sxx = 0, sxy = 0;
    const double n = double(floors.size());
    for (const auto &[x, y] : floors) {
        sx += x;
        sy += double(y);
        sxx += double(x) * x;
        sxy += double(x) * double(y);
    }
    return (n * sxy - sx * sy) / (n * sxx - sx * sx);
}

long MedianKb(const std::vector<std::pair<int, long>> &floors, size_t nFrom, size_t nTo) {
    std::vector<long> values;
    for (size_t i = nFrom; i < nTo; ++i)
        values.push_back(floors[i].second);
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace CResidentSize
