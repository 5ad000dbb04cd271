// Host object access: widths and conversions, reference hygiene, and the agreed reactions to a
// missing method, a null object and a throwing host method.
#include <gtest/gtest.h>

#include <cstdint>

#include "FakeJvm.h"
#include "adapter/JavaUtils.h"

using fakejvm::FakeJvm;
using fakejvm::Object;
using fakejvm::Value;

namespace {

class JavaUtilsTest : public ::testing::Test {
protected:
    FakeJvm jvm;
    JNIEnv* env = jvm.env();
    Object& host = jvm.object("host");
    jobject ref = jvm.localRef(&host);

    void TearDown() override { EXPECT_TRUE(jvm.violations().empty()) << jvm.violations()[0]; }
};

TEST_F(JavaUtilsTest, LongsKeepTheLow32BitsAndSetsSignExtend) {
    host.returns("big", "()J", Value::longValue((int64_t{1} << 32) + 5));
    host.returns("half", "()J", Value::longValue(int64_t{1} << 31));
    host.returns("minusOne", "()J", Value::longValue(-1));
    EXPECT_EQ(5, JavaUtils::readLong(env, ref, "big"));
    EXPECT_EQ(INT32_MIN, JavaUtils::readLong(env, ref, "half"));
    EXPECT_EQ(-1, JavaUtils::readLong(env, ref, "minusOne"));

    host.on("setShowTime", "(J)V", [](const std::vector<Value>&) { return Value::none(); });
    jvm.clearLog();
    JavaUtils::setLong(env, ref, "setShowTime", -1);
    JavaUtils::setLong(env, ref, "setShowTime", INT32_MIN);
    ASSERT_EQ(2u, jvm.calls().size());
    EXPECT_EQ(-1, jvm.calls()[0].args[0].j);
    EXPECT_EQ(int64_t{INT32_MIN}, jvm.calls()[1].args[0].j);
}

TEST_F(JavaUtilsTest, ScalarReadersPassValuesThrough) {
    host.returns("flag", "()Z", Value::rawBoolean(2));
    host.returns("off", "()Z", Value::rawBoolean(0));
    host.returns("count", "()I", Value::integer(-7));
    host.returns("size", "()D", Value::real(-0.125));
    EXPECT_TRUE(JavaUtils::readBool(env, ref, "flag"));
    EXPECT_FALSE(JavaUtils::readBool(env, ref, "off"));
    EXPECT_EQ(-7, JavaUtils::readInt(env, ref, "count"));
    EXPECT_EQ(-0.125, JavaUtils::readDouble(env, ref, "size"));
    EXPECT_EQ(1, jvm.liveLocalRefs());
}

TEST_F(JavaUtilsTest, StringsReadAsUtf8AndNullOrEmptyAsEmpty) {
    // Modified UTF-8 as the JVM gives it: a surrogate pair becomes one 4-byte character, and
    // the text ends at the JVM's NUL (C0 80), as a C string must.
    const std::string bytes = "h\xC3\xA9llo \xED\xA0\xBD\xED\xB8\x80 \xC0\x80 \xE2\x82\xAC";
    host.returns("getName", "()Ljava/lang/String;", Value::object(&jvm.string(bytes)));
    host.returns("getNull", "()Ljava/lang/String;", Value::null());
    host.returns("getEmpty", "()Ljava/lang/String;", Value::object(&jvm.string("")));
    EXPECT_EQ("h\xC3\xA9llo \xF0\x9F\x98\x80 ", JavaUtils::readString(env, ref, "getName"));
    EXPECT_EQ("", JavaUtils::readString(env, ref, "getNull"));
    EXPECT_EQ("", JavaUtils::readString(env, ref, "getEmpty"));
    EXPECT_EQ(1, jvm.liveLocalRefs());
    EXPECT_EQ(0, jvm.outstandingStringChars());
}

TEST_F(JavaUtilsTest, SetStringSendsModifiedUtf8AndSkipsEmptyValues) {
    host.on("print", "(Ljava/lang/String;)V",
            [](const std::vector<Value>&) { return Value::none(); });
    JavaUtils::setString(env, ref, "print", "");
    EXPECT_TRUE(jvm.calls().empty());
    JavaUtils::setString(env, ref, "print", "caf\xC3\xA9\n");
    JavaUtils::setString(env, ref, "print", "\xF0\x9F\x98\x80\xFF!");
    EXPECT_EQ((std::vector<std::string>{"host.print(\"caf\xC3\xA9\n\")",
                                        "host.print(\"\xED\xA0\xBD\xED\xB8\x80\xEF\xBF\xBD!\")"}),
              jvm.log());
    EXPECT_EQ(1, jvm.liveLocalRefs());
}

TEST_F(JavaUtilsTest, OnlyTheReturnedObjectOutlivesAnAccessor) {
    Object& child = jvm.object("child");
    host.returns("getChild", "()Ljava/lang/Object;", Value::object(&child));
    host.returns("getList", "()Ljava/util/List;", Value::object(&child));
    Object& list = jvm.list("list", {&child});

    jobject a = JavaUtils::readObject(env, ref, "getChild");
    jobject b = JavaUtils::readList(env, ref, "getList");
    jobject listRef = jvm.localRef(&list);
    jobject c = JavaUtils::readObject(env, listRef, "get", 0);
    EXPECT_EQ(&child, jvm.deref(a));
    EXPECT_EQ(&child, jvm.deref(b));
    EXPECT_EQ(&child, jvm.deref(c));
    EXPECT_EQ(5, jvm.liveLocalRefs());
    EXPECT_EQ("list.get(0)", jvm.log().back());
    for (jobject r : {a, b, c, listRef}) env->DeleteLocalRef(r);
    EXPECT_EQ(1, jvm.liveLocalRefs());
}

TEST_F(JavaUtilsTest, MissingMethodsAndNullObjectsGiveNeutralValues) {
    EXPECT_FALSE(JavaUtils::readBool(env, ref, "nothing"));
    EXPECT_EQ(0, JavaUtils::readInt(env, ref, "nothing"));
    EXPECT_EQ(0, JavaUtils::readLong(env, ref, "nothing"));
    EXPECT_EQ(0.0, JavaUtils::readDouble(env, ref, "nothing"));
    EXPECT_EQ(nullptr, JavaUtils::readObject(env, ref, "nothing"));
    EXPECT_EQ("", JavaUtils::readString(env, ref, "nothing"));
    JavaUtils::setDouble(env, ref, "nothing", 1.0);
    JavaUtils::setString(env, ref, "nothing", "text");
    EXPECT_FALSE(jvm.exceptionPending());
    EXPECT_EQ(8, jvm.missingMethodLookups());
    EXPECT_EQ(1, jvm.liveLocalRefs());

    // A null object is not even asked for its class.
    EXPECT_EQ(0, JavaUtils::readInt(env, nullptr, "getId"));
    EXPECT_EQ("", JavaUtils::readString(env, nullptr, "getName"));
    JavaUtils::setObject(env, nullptr, "addView", ref);
    EXPECT_EQ(8, jvm.missingMethodLookups());
    EXPECT_TRUE(jvm.calls().empty());
}

TEST_F(JavaUtilsTest, AThrowingHostMethodStopsWithItsExceptionPending) {
    host.throwing("getId", "()I", "java.lang.IllegalStateException: match over");
    host.throwing("getChild", "()Ljava/lang/Object;");
    host.throwing("setColor", "(I)V");
    EXPECT_THROW(JavaUtils::readInt(env, ref, "getId"), HostException);
    EXPECT_EQ("java.lang.IllegalStateException: match over", jvm.pendingException());
    jvm.clearException();
    EXPECT_THROW(JavaUtils::readObject(env, ref, "getChild"), HostException);
    jvm.clearException();
    EXPECT_THROW(JavaUtils::setInt(env, ref, "setColor", 3), HostException);
    EXPECT_TRUE(jvm.exceptionPending());
    EXPECT_EQ(1, jvm.liveLocalRefs());

    // Still pending: the next access stops again without touching the host.
    size_t callsBefore = jvm.calls().size();
    EXPECT_THROW(JavaUtils::readInt(env, ref, "getId"), HostException);
    EXPECT_EQ(callsBefore, jvm.calls().size());
}

}  // namespace
