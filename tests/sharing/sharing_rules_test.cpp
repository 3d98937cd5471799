// The pure rules of sharing: what an answer means, how long to wait, and what a frame's
// fields become.
#include <gtest/gtest.h>

#include "decoder/test_lines.h"
#include "sharing/delivery_rules.h"
#include "sharing/sids_form.h"

namespace orvalin {
namespace {

using std::chrono::milliseconds;

PostAnswer answer(int status, QByteArray body = {}, QByteArray retryAfter = {},
                  QString movedTo = {}) {
    return {.httpStatus = status,
            .transportError = {},
            .body = body,
            .retryAfter = retryAfter,
            .movedTo = movedTo};
}

TEST(DeliveryRules, AnswerDecidesSentMovedRejectedOrRetry) {
    const QDateTime now(QDate(2026, 12, 6), QTime(12, 0, 0), QTimeZone::utc());
    struct Row {
        const char* name;
        PostAnswer reply;
        Delivery delivery;
        const char* reason;
        std::optional<milliseconds> retryAfter;
    };
    const Row rows[] = {
        {"200", answer(200), Delivery::Sent, "", {}},
        {"201 with a body", answer(201, "ok"), Delivery::Sent, "", {}},
        {"400 keeps the reason trimmed to one line",
         answer(400, "  unknown\r\nsatellite \n"),
         Delivery::Rejected,
         "HTTP 400: unknown satellite",
         {}},
        {"404 without a body", answer(404), Delivery::Rejected, "HTTP 404", {}},
        {"408 is retried", answer(408), Delivery::Retry, "HTTP 408", {}},
        {"429 with seconds", answer(429, "slow down", "120"), Delivery::Retry,
         "HTTP 429: slow down", milliseconds(120000)},
        {"503 with an HTTP date", answer(503, {}, "Sun, 06 Dec 2026 12:00:30 GMT"), Delivery::Retry,
         "HTTP 503", milliseconds(30000)},
        {"500 with a date past", answer(500, {}, "Sat, 05 Dec 2026 12:00:00 GMT"), Delivery::Retry,
         "HTTP 500", milliseconds(0)},
        {"502 with a bad Retry-After", answer(502, {}, "soon"), Delivery::Retry, "HTTP 502", {}},
        {"301 names the new address",
         answer(301, "see there", {}, "https://new.example/submit"),
         Delivery::Moved,
         "the server answered 301 and moved to https://new.example/submit; fix SHARE_URL in "
         "conf.ini",
         {}},
        {"308: control characters of the address become spaces",
         answer(308, {}, {}, "https://new.example/\x1b[2J\nx"),
         Delivery::Moved,
         "the server answered 308 and moved to https://new.example/ [2J x; fix SHARE_URL in "
         "conf.ini",
         {}},
        {"300 without an address",
         answer(300),
         Delivery::Moved,
         "the server answered 300 without a new address; check SHARE_URL in conf.ini",
         {}},
        {"connection refused",
         {.httpStatus = 0,
          .transportError = "Connection refused",
          .body = {},
          .retryAfter = {},
          .movedTo = {}},
         Delivery::Retry,
         "Connection refused",
         {}},
    };
    for (const Row& row : rows) {
        const PostOutcome outcome = judgeAnswer(row.reply, now);
        EXPECT_EQ(outcome.delivery, row.delivery) << row.name;
        EXPECT_EQ(outcome.reason, QString::fromUtf8(row.reason)) << row.name;
        EXPECT_EQ(outcome.retryAfter, row.retryAfter) << row.name;
    }
    const PostOutcome longBody = judgeAnswer(answer(422, QByteArray(9000, 'x')), now);
    EXPECT_EQ(longBody.reason.size(), QStringLiteral("HTTP 422: ").size() + MaxReasonLength);
}

TEST(DeliveryRules, WaitsGrowFromFiveSecondsToTenMinutesUnlessTheServerSays) {
    const RetryPolicy policy;
    const int expectedSeconds[] = {5, 10, 20, 40, 80, 160, 320, 600, 600, 600};
    for (int failures = 1; failures <= 10; ++failures)
        EXPECT_EQ(retryWait(policy, failures, {}),
                  milliseconds(expectedSeconds[failures - 1] * 1000))
            << failures;
    EXPECT_EQ(retryWait(policy, 9, milliseconds(7000)), milliseconds(7000));
    EXPECT_EQ(retryWait(policy, 1, milliseconds(1000LL * 3600 * 48)),
              milliseconds(1000LL * 3600 * 24));
}

TEST(SidsForm, TimestampIsTheLoggedTimeInUtc) {
    const QString berlin = QStringLiteral("Europe/Berlin");
    const QTimeZone zone =
        stationSettingsFrom({{QStringLiteral("LOG_TIME_ZONE"), berlin}}).logTimeZone;
    EXPECT_EQ(sidsTimestamp(receivedFrameOf(test::WorkedLine.utf16()), zone),
              "2026-12-06T11:34:56.000Z");
    const QString skipped = QStringLiteral("!29032026@023000;") + test::WorkedLine.mid(17);
    EXPECT_EQ(sidsTimestamp(receivedFrameOf(skipped.utf16()), zone), "");
}

TEST(SidsForm, FrameAndPositionTexts) {
    EXPECT_EQ(frameHex(receivedFrameOf(test::WorkedLine.utf16()).bytes),
              "000102030405060708090A0B0C0D0E0F101112131415161718191A1B1C1D1E1F");
    EXPECT_EQ(longitudeText(13.405), "13.405E");
    EXPECT_EQ(longitudeText(-0.5), "0.5W");
    EXPECT_EQ(longitudeText(-179.00001), "179.00001W");
    EXPECT_EQ(latitudeText(52.52), "52.52N");
    EXPECT_EQ(latitudeText(-0.0001), "0.0001S");
}

}  // namespace
}  // namespace orvalin
