#pragma once

#include <QObject>
#include <QString>

// The About tab: the version and build Ordella was built with (an em dash when the build does not
// say), a one-line notice and the link to the product's web site.
class AboutTabModel : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString appVersion READ appVersion CONSTANT)
    Q_PROPERTY(QString buildNumber READ buildNumber CONSTANT)
    Q_PROPERTY(QString notice READ notice CONSTANT)
    Q_PROPERTY(QString websiteHost READ websiteHost CONSTANT)
    // The application's icon as an image source; empty when the build carries none.
    Q_PROPERTY(QString appIconSource READ appIconSource CONSTANT)

public:
    using QObject::QObject;

    static QString appVersion();
    static QString buildNumber();
    static QString notice();
    static QString websiteURL();
    // The site's host name, shown as the link's text.
    static QString websiteHost();
    static QString appIconSource();

    Q_INVOKABLE void openWebsite();
};
