/* Result codes and their message texts. */
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "velto.h"

namespace {

TEST(ErrorTextTest, EveryCodeHasItsExactMessage) {
    struct Case {
        int32_t code;
        const char *text;
    } cases[] = {
        {0, "No error."},
        {100, "Port already connected."},
        {101, "Port not connected."},
        {-100, "Invalid token type."},
        {-99, "Invalid port type."},
        {-98, "Invalid token."},
        {-97, "Invalid rate."},
        {-96, "Invalid partnum."},
        {-95, "Invalid priority."},
        {-94, "Invalid signal type."},
        {-93, "Attempt to switch signal signed <-> unsigned."},
        {-92, "Attempt to connect incompatible ports."},
        {-91, "Invalid flag."},
        {-90, "Invalid data type."},
        {-89, "Memory allocation failed."},
        {-88, "Too many tokens. Table size exceeded."},
        {-87, "Named thing not found."},
        {-86, "Port not settable."},
        {-85, "Output file i/o error."},
        {-84, "Parameter out of range."},
        {-83, "Host initialization failed."},
        {-82, "Port not connected."},
        {-81, "Bad connection."},
        {-80, "Host mutex failed."},
        {-79, "Internal error #1. Please notify support@velto.dev."},
        {-78, "Engine double started with different parameters."},
        {-76, "Unit in Circuit. Not independant."},
        {-75, "Control versus Audio rate mismatch."},
        {-74, "Feature not supported by this object."},
        {-73, "Vexa or Velto not currently running."},
        {-72, "Port index out of range."},
        {-71, "Front To Back FIFO Full."},
        {-70, "Internal F2B FIFO error."},
        {-69, "Internal B2F FIFO error."},
        {-68, "Unit already started. Can't be used in  circuit."},
        {-67, "Internal linked list error."},
        {-66, "ChannelsPerFrame mismatch."},
        {-65, "Synthesis Engine NOT started."},
        {-64, "Circuit cannot have zero subunits."},
        {-63, "VexaContext is invalid."},
        {-62, "Object not part of VexaContext."},
        {-61, "Invalid device ID."},
    };
    for (const Case &c : cases) {
        EXPECT_STREQ(Vexa_ErrorCodeToText(c.code), c.text) << "code " << c.code;
    }
}

TEST(ErrorTextTest, CodesWithoutARowAreOutOfRange) {
    const int32_t codes[] = {1, 99, 102, -77, -101, -60, -1, INT32_MIN, INT32_MAX};
    for (int32_t code : codes) {
        EXPECT_STREQ(Vexa_ErrorCodeToText(code), "Warning - Error Code out of range.")
            << "code " << code;
    }
}

TEST(ErrorTextTest, JavaCopyTruncatesWithoutTerminator) {
    struct Case {
        int32_t code;
        int32_t bufferSize;
        const char *copied; /* the bytes expected at the start of the buffer */
    } cases[] = {
        {-98, 10, "Invalid t"},
        {-98, 100, "Invalid token."},
        {-98, 15, "Invalid token."}, /* exactly the message and a terminator's room */
        {-98, 14, "Invalid token"},  /* one short: the last character goes */
        {-98, 2, "I"},
        {-98, 1, ""},
        {-98, 0, ""},
        {-98, -5, ""},
        {0, 100, "No error."},
        {-1, 100, "Warning - Error Code out of range."},
    };
    for (const Case &c : cases) {
        char buffer[128];
        std::memset(buffer, '#', sizeof(buffer));
        int32_t count = Vexa_ErrorCodeToTextJava(c.code, buffer, c.bufferSize);
        int32_t expected = static_cast<int32_t>(std::strlen(c.copied));
        EXPECT_EQ(count, expected) << "code " << c.code << " size " << c.bufferSize;
        EXPECT_EQ(std::string(buffer, count), c.copied);
        EXPECT_EQ(buffer[count], '#') << "wrote beyond the count (no terminator expected)";
    }
}

TEST(ErrorTextTest, JavaCopyIntoNullBufferCopiesNothing) {
    EXPECT_EQ(Vexa_ErrorCodeToTextJava(-98, nullptr, 100), 0);
}

} // namespace
