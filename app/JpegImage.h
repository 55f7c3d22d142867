#pragma once

// The JPEG decoder of the login picture: JPEG bytes into an image, through libjpeg.

#include <QByteArray>
#include <QImage>
#include <QString>

// Decodes JPEG bytes into an image with libjpeg. Returns a null image and sets `error`
// when the bytes are not a JPEG picture libjpeg can read.
QImage decodeJpeg(const QByteArray &bytes, QString *error = nullptr);
