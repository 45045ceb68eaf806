#include "TThSecBase.h"

#include "Prompter.h"
#include "SecurityErrors.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSaveFile>
#include <QStandardPaths>

namespace {

// The built-in key: 48 lower-case letters.
constexpr char KeyPhrase[] = "ospreysglideovergreymarshwaterwhilecurlewscallxq";
static_assert(sizeof(KeyPhrase) - 1 == 48, "the store key is 48 letters");

const QString UsersKey = QStringLiteral("users");
const QString IdKey = QStringLiteral("id");
const QString PasswordKey = QStringLiteral("Password");
const QString AccessKey = QStringLiteral("Access");
const QString StateKey = QStringLiteral("state");

QString withReason(const QString &message, const QString &reason)
{
    return reason.isEmpty() ? message : message + QLatin1Char('\r') + reason;
}

// Returns why the document is not a user store, or an empty string when it is one.
QString structureProblem(const QJsonDocument &doc)
{
    if (!doc.isObject())
        return QStringLiteral("the top level is not an object");
    const QJsonObject store = doc.object();
    if (store.contains(StateKey) && !store.value(StateKey).isString())
        return QStringLiteral("the state is not a text");
    if (!store.contains(UsersKey))
        return {};
    if (!store.value(UsersKey).isArray())
        return QStringLiteral("the user list is not a list");
    for (const QJsonValue &entry : store.value(UsersKey).toArray()) {
        const QJsonObject user = entry.toObject();
        if (!entry.isObject() || !user.value(IdKey).isString())
            return QStringLiteral("a user entry has no user ID");
        for (const QString &key : {PasswordKey, AccessKey})
            if (user.contains(key) && !user.value(key).isString())
                return QStringLiteral("the %1 of user \"%2\" is not a text").arg(key, user.value(IdKey).toString());
    }
    return {};
}

} // namespace

TThSecBase::TThSecBase(const QString &rootDir)
    : m_rootDir(rootDir.isEmpty() ? defaultRootDir() : rootDir)
    , m_cipher(QByteArray(KeyPhrase))
{
    QDir dir(m_rootDir);
    if (!dir.exists()) {
        if (!QDir().mkpath(m_rootDir))
            throw ESecurityBadDB(withReason(QStringLiteral("Unable to access Security Registry Root!"), m_rootDir));
        QFile::setPermissions(m_rootDir, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
}

TThSecBase::~TThSecBase()
{
    if (!m_active)
        return;
    try {
        markState(m_applicationName, QStringLiteral("Closed"));
    } catch (const ESecurityError &e) {
        showMessage(e.message(), SecurityErrorTitle, Prompter::Error);
    }
}

QString TThSecBase::defaultRootDir()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QStringLiteral("/Quillmoor");
}

void TThSecBase::openApplication(const QString &name)
{
    if (m_active) {
        markState(m_applicationName, QStringLiteral("Closed"));
        m_active = false;
    }
    if (name.isEmpty() || name.contains(QLatin1Char('/')) || name == QLatin1String(".")
        || name == QLatin1String(".."))
        throw ESecurityBadApp(QStringLiteral("Could not create/open Registry Entry for %1").arg(name));
    markState(name, QStringLiteral("Open"));
    m_applicationName = name;
    m_active = true;
}

QString TThSecBase::applicationState() const
{
    if (!m_active)
        return {};
    return load(storePath()).value(StateKey).toString();
}

QString TThSecBase::storePath() const
{
    return storePathFor(m_applicationName);
}

QString TThSecBase::storePathFor(const QString &application) const
{
    return m_rootDir + QLatin1Char('/') + application + QStringLiteral(".json");
}

void TThSecBase::markState(const QString &application, const QString &state)
{
    const QString path = storePathFor(application);
    QJsonObject store = load(path);
    store.insert(StateKey, state);
    try {
        save(path, store);
    } catch (const ESecurityError &e) {
        throw ESecurityBadApp(
            withReason(QStringLiteral("Could not create/open Registry Entry for %1").arg(application), e.message()));
    }
}

void TThSecBase::registerUser(const QString &userId, const QString &password)
{
    if (!m_active)
        throw ESecurityBadDB(QStringLiteral("Security Root Key or Applicaiton Key invalid!"));
    const QString failure = QStringLiteral("Could not register userID %1").arg(userId);
    if (userId.isEmpty())
        throw ESecurityBadUser(failure);
    const auto cipherText = encrypt(password);
    if (!cipherText)
        throw ESecurityBadUser(failure);

    QJsonObject store = load(storePath());
    QJsonArray users = store.value(UsersKey).toArray();
    const auto index = findUser(store, userId);
    QJsonObject user = index ? users.at(*index).toObject() : QJsonObject{{IdKey, userId}};
    user.insert(PasswordKey, *cipherText);
    if (index)
        users.replace(*index, user);
    else
        users.append(user);
    store.insert(UsersKey, users);
    try {
        save(storePath(), store);
    } catch (const ESecurityError &e) {
        throw ESecurityBadUser(withReason(failure, e.message()));
    }
}

bool TThSecBase::checkUser(const QString &userId, const QString &password) const
{
    if (!m_active)
        return false;
    const QJsonObject store = load(storePath());
    const auto index = findUser(store, userId);
    if (!index)
        return false;
    const QJsonObject user = store.value(UsersKey).toArray().at(*index).toObject();
    if (!user.contains(PasswordKey))
        return false;
    const auto stored = decrypt(user.value(PasswordKey).toString());
    if (!stored)
        return false;
    return stored->compare(password, m_caseSensitive ? Qt::CaseSensitive : Qt::CaseInsensitive) == 0;
}

bool TThSecBase::userExists(const QString &userId) const
{
    if (!m_active)
        return false;
    const QJsonObject store = load(storePath());
    const auto index = findUser(store, userId);
    return index && store.value(UsersKey).toArray().at(*index).toObject().contains(PasswordKey);
}

void TThSecBase::requireValidUser(const QString &userId, const QString &password) const
{
    if (!checkUser(userId, password))
        throw ESecurityBadPW(QStringLiteral("Access denied."));
}

void TThSecBase::setAccess(const QString &userId, const QString &password, const QString &levelText)
{
    if (!m_active)
        throw ESecurityBadDB(QStringLiteral("Security Root Key or Applicaiton Key invalid!"));
    requireValidUser(userId, password);
    const QString failure = QStringLiteral("Could not register Access Data for %1").arg(userId);
    const auto cipherText = encrypt(levelText);
    if (!cipherText)
        throw ESecurityBadUser(failure);

    QJsonObject store = load(storePath());
    const auto index = findUser(store, userId);
    if (!index) // removed by another copy between the check and now
        throw ESecurityBadUser(failure);
    QJsonArray users = store.value(UsersKey).toArray();
    QJsonObject user = users.at(*index).toObject();
    user.insert(AccessKey, *cipherText);
    users.replace(*index, user);
    store.insert(UsersKey, users);
    try {
        save(storePath(), store);
    } catch (const ESecurityError &e) {
        throw ESecurityBadUser(withReason(failure, e.message()));
    }
}

QString TThSecBase::getAccess(const QString &userId, const QString &password) const
{
    if (!m_active)
        throw ESecurityBadApp(QStringLiteral("No active aplication"));
    requireValidUser(userId, password);
    const QString failure = QStringLiteral("Could not retrieve access data for UserID %1").arg(userId);
    const QJsonObject store = load(storePath());
    const auto index = findUser(store, userId);
    if (!index)
        throw ESecurityBadDB(failure);
    const QJsonObject user = store.value(UsersKey).toArray().at(*index).toObject();
    if (!user.contains(AccessKey))
        throw ESecurityBadDB(failure);
    const auto level = decrypt(user.value(AccessKey).toString());
    if (!level)
        throw ESecurityBadDB(failure);
    return *level;
}

std::optional<int> TThSecBase::findUser(const QJsonObject &store, const QString &userId)
{
    const QJsonArray users = store.value(UsersKey).toArray();
    for (int i = 0; i < users.size(); ++i)
        if (users.at(i).toObject().value(IdKey).toString().compare(userId, Qt::CaseInsensitive) == 0)
            return i;
    return std::nullopt;
}

QJsonObject TThSecBase::load(const QString &path) const
{
    QFile file(path);
    if (!file.exists())
        return {};
    if (!file.open(QIODevice::ReadOnly))
        throw ESecurityBadDB(QStringLiteral("The user store %1 cannot be read: %2").arg(path, file.errorString()));
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(file.readAll(), &parseError);
    QString problem = doc.isNull() ? parseError.errorString() : structureProblem(doc);
    if (!problem.isEmpty())
        throw ESecurityBadDB(QStringLiteral("The user store %1 is damaged (%2).\rIt was left as it is; "
                                            "repair it or move it aside to start afresh.")
                                 .arg(path, problem));
    return doc.object();
}

void TThSecBase::save(const QString &path, const QJsonObject &store) const
{
    QSaveFile file(path);
    // Only the owner may read the store, from the first byte written.
    const bool ok = file.open(QIODevice::WriteOnly)
                    && file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner)
                    && file.write(QJsonDocument(store).toJson()) >= 0 && file.commit();
    if (!ok)
        throw ESecurityBadDB(QStringLiteral("%1: %2").arg(path, file.errorString()));
}

std::optional<QString> TThSecBase::encrypt(const QString &plain) const
{
    const auto hex = m_cipher.encryptToHex(plain.toUtf8());
    if (!hex) {
        showMessage(QStringLiteral("Error encrypting text"), SecurityErrorTitle, Prompter::Error);
        return std::nullopt;
    }
    return QString::fromLatin1(*hex);
}

std::optional<QString> TThSecBase::decrypt(const QString &hex) const
{
    const auto plain = m_cipher.decryptFromHex(hex.toLatin1());
    if (!plain) {
        showMessage(QStringLiteral("Error decrypting text"), SecurityErrorTitle, Prompter::Error);
        return std::nullopt;
    }
    return QString::fromUtf8(*plain);
}
