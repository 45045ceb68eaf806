#pragma once

#include <QByteArray>
#include <QString>

// What the about box tells: the program's version values and the names the
// system has registered for its user and organisation.
struct AboutFacts {
    QString fileVersion;
    QString osRevision;
    QString appRevision;
    QString owner;
    QString organization;

    // From the build and from this machine (passwd full name, $ORGANIZATION).
    static AboutFacts fromSystem();
    // The first field of a passwd GECOS entry; "Undefined" when there is none.
    static QString ownerFromGecos(const char *gecos);
    // "Undefined" for an empty name.
    static QString registeredName(const QString &name);
    // "< No Data Available >" for a build without the value.
    static QString versionValue(const char *value);
};

// The two-line notice shown by the about box and the acknowledgements window.
QString noticeText();
