#include "BlowfishCipher.h"
#include "RecordingPrompter.h"
#include "SecurityErrors.h"
#include "TThSecBase.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>

#include <sys/stat.h>
#include <unistd.h>

namespace {

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

mode_t modeOf(const QString &path)
{
    struct stat info {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_mode & 07777 : 0;
}

void writeAll(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

// Rewrites one value of one user entry, as a damaged or foreign file would hold it.
void patchUser(const QString &path, const QString &userId, const QString &key, const QJsonValue &value)
{
    QJsonObject store = QJsonDocument::fromJson(readAll(path)).object();
    QJsonArray users = store.value("users").toArray();
    for (int i = 0; i < users.size(); ++i) {
        QJsonObject user = users.at(i).toObject();
        if (user.value("id").toString() == userId) {
            if (value.isUndefined())
                user.remove(key);
            else
                user.insert(key, value);
            users.replace(i, user);
        }
    }
    store.insert("users", users);
    writeAll(path, QJsonDocument(store).toJson());
}

// Expects act to throw E with a message that contains text.
template <typename E>
void expectRefused(const std::function<void()> &act, const QString &text)
{
    try {
        act();
        ADD_FAILURE() << "not refused: " << text.toStdString();
    } catch (const E &e) {
        EXPECT_TRUE(e.message().contains(text)) << e.message().toStdString();
    }
}

} // namespace

TEST(BlowfishCipher, MatchesPublishedVectorsAndRoundTrips)
{
    EXPECT_EQ(BlowfishCipher(QByteArray(8, '\0')).encryptToHex(QByteArray(8, '\0')).value(), "4EF997456198DD78");
    EXPECT_EQ(BlowfishCipher(QByteArray(8, '\xFF')).encryptToHex(QByteArray(8, '\xFF')).value(), "51866FD5B85ECB8A");
    EXPECT_EQ(BlowfishCipher(QByteArray(8, '\0')).decryptFromHex("4ef997456198dd78").value(), QByteArray());

    // Short text is zero-padded to a block and comes back up to its first zero byte.
    const BlowfishCipher cipher(QByteArray(48, 'k'));
    const QByteArray hex = cipher.encryptToHex("abc").value();
    EXPECT_EQ(hex.size(), 16);
    EXPECT_EQ(hex, hex.toUpper());
    EXPECT_EQ(cipher.decryptFromHex(hex).value(), "abc");
    EXPECT_EQ(cipher.encryptToHex("12345678").value().size(), 16);
    EXPECT_EQ(cipher.decryptFromHex(cipher.encryptToHex("a longer text, three blocks").value()).value(),
              "a longer text, three blocks");
    EXPECT_EQ(cipher.encryptToHex(QByteArray()).value(), QByteArray());
}

TEST(BlowfishCipher, UsesTheWholeKeyAndRefusesMalformedCipherText)
{
    // Every byte of a 48-byte key counts (the cipher's default key length is 16).
    QByteArray key = QByteArray(48, 'a');
    QByteArray other = key;
    other[40] = 'b';
    EXPECT_NE(BlowfishCipher(key).encryptToHex("secret").value(), BlowfishCipher(other).encryptToHex("secret").value());

    const BlowfishCipher cipher(key);
    EXPECT_FALSE(cipher.decryptFromHex("4EF997456198DD7").has_value());  // odd length
    EXPECT_FALSE(cipher.decryptFromHex("4EF997456198DD").has_value());   // not a whole block
    EXPECT_FALSE(cipher.decryptFromHex("4EF997456198DDXY").has_value()); // not hex
    EXPECT_FALSE(BlowfishCipher(QByteArray(60, 'a')).encryptToHex("x").has_value());
}

class StoreTest : public ::testing::Test {
protected:
    QString root() const { return dir.path() + "/Quillmoor"; }
    QString storeFile() const { return root() + "/Tarvine.json"; }

    QTemporaryDir dir;
    RecordingPrompter prompter;
};

TEST_F(StoreTest, KeepsAccountsPrivateEncipheredAndAcrossRestarts)
{
    {
        TThSecBase store(root());
        store.openApplication("Tarvine");
        EXPECT_EQ(store.applicationState(), "Open");
        store.registerUser("Anna.Ruiz", "Tide-Pool 7");
        store.setAccess("anna.ruiz", "TIDE-POOL 7", "2");
        store.registerUser("Bo", "");
    }
    EXPECT_EQ(modeOf(storeFile()), 0600);
    EXPECT_EQ(modeOf(root()), 0700);
    const QByteArray bytes = readAll(storeFile());
    EXPECT_FALSE(bytes.contains("Tide-Pool"));
    EXPECT_EQ(QJsonDocument::fromJson(bytes).object().value("state").toString(), "Closed");

    TThSecBase store(root());
    EXPECT_FALSE(store.checkUser("Anna.Ruiz", "Tide-Pool 7")); // no application open yet
    store.openApplication("Tarvine");
    EXPECT_TRUE(store.checkUser("ANNA.RUIZ", "tide-pool 7"));
    EXPECT_FALSE(store.checkUser("Anna.Ruiz", "Tide-Pool 8"));
    EXPECT_FALSE(store.checkUser("Anna", "Tide-Pool 7"));
    EXPECT_EQ(store.getAccess("Anna.Ruiz", "Tide-Pool 7"), "2");
    EXPECT_TRUE(store.checkUser("bo", ""));
    store.setCaseSensitive(true);
    EXPECT_FALSE(store.checkUser("Anna.Ruiz", "tide-pool 7"));
    EXPECT_TRUE(store.checkUser("anna.ruiz", "Tide-Pool 7"));

    // Registering again under another spelling replaces the one account.
    store.registerUser("ANNA.RUIZ", "new one");
    EXPECT_TRUE(store.checkUser("Anna.Ruiz", "new one"));
    EXPECT_EQ(QJsonDocument::fromJson(readAll(storeFile())).object().value("users").toArray().size(), 2);
    EXPECT_TRUE(prompter.messages.isEmpty());
}

TEST_F(StoreTest, RefusesAccessWithoutRootApplicationOrPassword)
{
    writeAll(dir.path() + "/plain-file", "x");
    expectRefused<ESecurityBadDB>([&] { TThSecBase store(dir.path() + "/plain-file/Quillmoor"); },
                                  "Unable to access Security Registry Root!\r");
    TThSecBase store(root());
    expectRefused<ESecurityBadDB>([&] { store.registerUser("x", "y"); },
                                  "Security Root Key or Applicaiton Key invalid!");
    expectRefused<ESecurityBadApp>([&] { store.getAccess("x", "y"); }, "No active aplication");
    store.openApplication("Tarvine");
    store.registerUser("x", "y");
    expectRefused<ESecurityBadPW>([&] { store.setAccess("x", "z", "3"); }, "Access denied.");
    EXPECT_THROW(store.getAccess("nobody", "y"), ESecurityBadPW);
    expectRefused<ESecurityBadDB>([&] { store.getAccess("x", "y"); }, "Could not retrieve access data for UserID x");
    EXPECT_THROW(store.registerUser("", "pw"), ESecurityBadUser);
    EXPECT_THROW(store.openApplication("../escape"), ESecurityBadApp);
    EXPECT_FALSE(store.isActive());
}

TEST_F(StoreTest, DamagedStoreIsReportedAndLeftAlone)
{
    QDir().mkpath(root());
    for (const QByteArray &damaged : {QByteArray("{\"users\": [ {\"id\": \"a\""), QByteArray("[1, 2]"),
                                      QByteArray("{\"users\": {\"id\": \"a\"}}"),
                                      QByteArray("{\"users\": [{\"Password\": \"00\"}]}")}) {
        writeAll(storeFile(), damaged);
        expectRefused<ESecurityBadDB>([&] { TThSecBase(root()).openApplication("Tarvine"); }, storeFile());
        EXPECT_EQ(readAll(storeFile()), damaged);
    }

    // Damaged while open (by another copy): each operation reports it.
    QFile::remove(storeFile());
    TThSecBase store(root());
    store.openApplication("Tarvine");
    store.registerUser("x", "y");
    writeAll(storeFile(), "not a store");
    EXPECT_THROW(store.checkUser("x", "y"), ESecurityBadDB);
    EXPECT_THROW(store.registerUser("z", "z"), ESecurityBadDB);
    EXPECT_EQ(readAll(storeFile()), "not a store");
}

TEST_F(StoreTest, UndecipherableValuesNeverGrantAccess)
{
    TThSecBase store(root());
    store.openApplication("Tarvine");
    store.registerUser("x", "y");
    store.setAccess("x", "y", "3");
    patchUser(storeFile(), "x", "Access", "ABC");
    EXPECT_THROW(store.getAccess("x", "y"), ESecurityBadDB);
    EXPECT_EQ(prompter.texts(), QStringList{"Error decrypting text"});

    // An undecipherable password is not the empty password.
    patchUser(storeFile(), "x", "Password", "XYZ");
    EXPECT_FALSE(store.checkUser("x", ""));
    EXPECT_FALSE(store.checkUser("x", "y"));
    EXPECT_TRUE(store.userExists("x"));
}

TEST_F(StoreTest, FailedWriteRaisesAndKeepsTheOldFile)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "file permissions do not bind root";
    TThSecBase store(root());
    store.openApplication("Tarvine");
    store.registerUser("x", "y");
    const QByteArray before = readAll(storeFile());
    QFile::setPermissions(root(), QFile::ReadOwner | QFile::ExeOwner);
    expectRefused<ESecurityBadUser>([&] { store.registerUser("x", "changed"); }, "Could not register userID x");
    QFile::setPermissions(root(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    EXPECT_EQ(readAll(storeFile()), before);
}

TEST_F(StoreTest, DefaultFolderFollowsXdgConfigHome)
{
    const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", dir.path().toUtf8());
    EXPECT_EQ(TThSecBase::defaultRootDir(), root());
    {
        TThSecBase store;
        store.openApplication("Tarvine");
    }
    EXPECT_TRUE(QFile::exists(storeFile()));
    if (saved.isNull())
        qunsetenv("XDG_CONFIG_HOME");
    else
        qputenv("XDG_CONFIG_HOME", saved);
}
