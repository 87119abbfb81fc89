#include "PeerProcess.h"

#include <QCoreApplication>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

TEST(PeerProcessTests, startTimeIsFieldTwentyTwoWhateverTheCommandName)
{
    // Fields 3..21 are filler; field 22 is the start time.
    const QByteArray tail = " S 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 987654 23 24";
    EXPECT_EQ(PeerProcess::parseStartTime("42 (plain)" + tail), 987654u);
    EXPECT_EQ(PeerProcess::parseStartTime("42 (a) S 1 2 (evil) x)" + tail), 987654u);
    EXPECT_EQ(PeerProcess::parseStartTime("42 (with space)" + tail), 987654u);
    EXPECT_FALSE(PeerProcess::parseStartTime("42 (short) S 1 2").has_value());
    EXPECT_FALSE(PeerProcess::parseStartTime("no parenthesis").has_value());
}

TEST(PeerProcessTests, preloadingEnvironmentsAreRecognised)
{
    struct Case {
        QByteArray environ;
        bool preloads;
    };
    const auto raw = [](const auto& literal) { return QByteArray(literal, sizeof(literal) - 1); };
    const Case cases[] = {
        { raw("HOME=/root\0PATH=/bin\0"), false },
        { raw("HOME=/root\0LD_PRELOAD=/tmp/x.so\0"), true },
        { raw("LD_AUDIT=/tmp/a.so"), true },
        { raw("LD_PRELOAD=\0"), false },
        { raw("XLD_PRELOAD=/tmp/x.so\0"), false },
        { raw("NOTE=LD_PRELOAD=/tmp/x.so\0"), false },
    };
    for (const Case& c : cases)
        EXPECT_EQ(PeerProcess::environmentPreloads(c.environ), c.preloads) << c.environ.toStdString();
}

TEST(PeerProcessTests, peerOfASocketIsTheConnectingProcess)
{
    int pair[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, pair), 0);
    const auto peer = PeerProcess::ofSocket(pair[0]);
    ::close(pair[0]);
    ::close(pair[1]);
    ASSERT_TRUE(peer.has_value());
    EXPECT_EQ(peer->pid, ::getpid());
    EXPECT_EQ(peer->uid, ::getuid());
    EXPECT_EQ(peer->startTime, PeerProcess::startTimeOf(::getpid()).value());
    if (qEnvironmentVariableIsEmpty("LD_PRELOAD") && qEnvironmentVariableIsEmpty("LD_AUDIT")) {
        EXPECT_EQ(PeerProcess::preloadsLibraries(::getpid()), std::optional<bool>(false));
    }
}
