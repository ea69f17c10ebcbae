// Drag-and-drop transfer of instance-name lists and the suite's zoom cursors.
#include "pirq.h"

#include <QApplication>
#include <QCursor>
#include <QDataStream>
#include <QIODevice>
#include <QMimeData>
#include <QPainter>
#include <QVariant>

namespace {

constexpr quint32 LIST_MAGIC = 0x4b494e4c;  // "KINL"
constexpr int MAX_NAMES = 1 << 20;

}  // namespace

PIRQ_DATA_TRANSFER_MANAGER* PIRQ_DATA_TRANSFER_MANAGER::get_instance()
{
    static PIRQ_DATA_TRANSFER_MANAGER manager;
    return QCoreApplication::instance() ? &manager : nullptr;
}

void PIRQ_DATA_TRANSFER_MANAGER::set_instance_name_list_transfer_data(QMimeData* data,
                                                                      const PIRQ_INSTANCE_NAME_LIST& names) const
{
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out << LIST_MAGIC << qint32(names.size());
    for (const PIRQ_INSTANCE_NAME& name : names) {
        int f1 = 0, l1 = 0, f2 = 0, l2 = 0;
        name.get_first_dimension(&f1, &l1);
        name.get_second_dimension(&f2, &l2);
        out << name.get_name() << qint32(name.get_kind()) << quint32(name.get_flags()) << qint32(f1) << qint32(l1)
            << qint32(f2) << qint32(l2);
    }
    data->setData(INSTANCE_NAME_LIST_MIME_TYPE, bytes);
}

QVariant PIRQ_DATA_TRANSFER_MANAGER::get_instance_name_list_transfer_data(const QMimeData* data) const
{
    if (!data || !data->hasFormat(INSTANCE_NAME_LIST_MIME_TYPE))
        return {};
    QDataStream in(data->data(INSTANCE_NAME_LIST_MIME_TYPE));
    quint32 magic = 0;
    qint32 count = 0;
    in >> magic >> count;
    if (magic != LIST_MAGIC || count < 0 || count > MAX_NAMES)
        return {};
    PIRQ_INSTANCE_NAME_LIST names;
    for (qint32 i = 0; i < count; ++i) {
        QString name;
        qint32 kind = 0, f1 = 0, l1 = 0, f2 = 0, l2 = 0;
        quint32 flags = 0;
        in >> name >> kind >> flags >> f1 >> l1 >> f2 >> l2;
        if (in.status() != QDataStream::Ok)
            return {};
        names << PIRQ_INSTANCE_NAME(name, kind, flags, f1, l1, f2, l2);
    }
    return QVariant::fromValue(names);
}

// A magnifier with a plus (zoom in) or a minus (zoom out), hot spot at the lens's centre.
QCursor pirq_get_cursor(int id)
{
    if (id != 1 && id != 2)
        return QCursor(Qt::ArrowCursor);
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setPen(QPen(Qt::black, 2));
    p.setBrush(Qt::white);
    p.drawEllipse(2, 2, 16, 16);
    p.drawLine(16, 16, 28, 28);
    p.drawLine(6, 10, 14, 10);
    if (id == 1)
        p.drawLine(10, 6, 10, 14);
    p.end();
    return QCursor(pixmap, 10, 10);
}
