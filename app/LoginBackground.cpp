// The login page's background picture, drawn stretched over the widget.
#include "LoginBackground.h"

#include <QPainter>

LoginBackground::LoginBackground(QWidget *parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void LoginBackground::setImage(const QImage &image)
{
    picture = image;
    update();
}

void LoginBackground::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    if (picture.isNull()) {
        painter.fillRect(rect(), QColor(20, 40, 90));
        return;
    }
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(rect(), picture);
}
