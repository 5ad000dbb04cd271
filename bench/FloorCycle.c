#include "FloorCycle.h"

#include <string.h>

/* Call sites that may use a cached method ID. */
enum {
    S_INFO,
    S_OPERATE,
    S_DEBUG,
    S_TIME,
    S_BALL,
    S_BALL_X,
    S_BALL_Y,
    S_BALL_HEADING,
    S_BALL_VELOCITY,
    S_TEAMS,
    S_SIZE,
    S_GET,
    S_SCORE,
    S_MEMBERS,
    S_X,
    S_Y,
    S_HEADING,
    S_MOVE,
    S_TURN,
    S_ACTIONS,
    S_TYPE,
    S_SENDER,
    S_MESSAGE,
    S_HITED,
    S_SET_MOVE,
    S_SET_TURN,
    S_SEND,
    S_EXECUTE,
    S_PRINT,
    S_CREATE_LINE,
    S_CREATE_TEXT,
    S_ADD_VIEW,
    S_SHOW_TIME,
    S_COLOR,
    S_BEGIN_X,
    S_BEGIN_Y,
    S_END_X,
    S_END_Y,
    S_TEXT,
    S_SIZE_SET,
    S_LOCATION_X,
    S_LOCATION_Y,
    S_ID,
    S_TOTAL,
    S_COURT,
    S_COUNT
};

enum { MAX_BOTS = 64, MAX_EVENTS = 64, TEXT = 256 };

/* Where the floor keeps what it read, as the library's mirror and event list do. */
static struct {
    int id, time, totalTimes;
    double ballX, ballY, ballHeading, ballVelocity;
    double score[2];
    double x[MAX_BOTS], y[MAX_BOTS], heading[MAX_BOTS], move[MAX_BOTS], turn[MAX_BOTS];
    int members[2];
    int events, type[MAX_EVENTS], sender[MAX_EVENTS], hited[MAX_EVENTS];
    char message[MAX_EVENTS][TEXT];
} mirror;

typedef struct {
    jclass cls;
    jmethodID id;
} Method;

/* The method by name on the object's class, or from the cache slot. */
static Method find(JNIEnv* env, jobject object, const char* name, const char* signature,
                   jmethodID* cache, int slot) {
    Method m = {NULL, NULL};
    if (cache != NULL && cache[slot] != NULL) {
        m.id = cache[slot];
        return m;
    }
    m.cls = (*env)->GetObjectClass(env, object);
    m.id = (*env)->GetMethodID(env, m.cls, name, signature);
    if (cache != NULL) {
        cache[slot] = m.id;
        (*env)->DeleteLocalRef(env, m.cls);
        m.cls = NULL;
    }
    return m;
}

static void done(JNIEnv* env, Method m) {
    (*env)->ExceptionCheck(env);
    if (m.cls != NULL) (*env)->DeleteLocalRef(env, m.cls);
}

static double getDouble(JNIEnv* env, jobject o, const char* name, jmethodID* cache, int slot) {
    Method m = find(env, o, name, "()D", cache, slot);
    double v = (*env)->CallDoubleMethod(env, o, m.id);
    done(env, m);
    return v;
}

static int getInt(JNIEnv* env, jobject o, const char* name, jmethodID* cache, int slot) {
    Method m = find(env, o, name, "()I", cache, slot);
    int v = (*env)->CallIntMethod(env, o, m.id);
    done(env, m);
    return v;
}

static int getLong(JNIEnv* env, jobject o, const char* name, jmethodID* cache, int slot) {
    Method m = find(env, o, name, "()J", cache, slot);
    int v = (int)(*env)->CallLongMethod(env, o, m.id);
    done(env, m);
    return v;
}

static jobject getObject(JNIEnv* env, jobject o, const char* name, const char* signature,
                         jmethodID* cache, int slot) {
    Method m = find(env, o, name, signature, cache, slot);
    jobject v = (*env)->CallObjectMethod(env, o, m.id);
    done(env, m);
    return v;
}

static jobject getAt(JNIEnv* env, jobject list, int index, jmethodID* cache) {
    Method m = find(env, list, "get", "(I)Ljava/lang/Object;", cache, S_GET);
    jobject v = (*env)->CallObjectMethod(env, list, m.id, index);
    done(env, m);
    return v;
}

static void getString(JNIEnv* env, jobject o, const char* name, char* out, jmethodID* cache,
                      int slot) {
    jstring s = (jstring)getObject(env, o, name, "()Ljava/lang/String;", cache, slot);
    const char* chars = (*env)->GetStringUTFChars(env, s, NULL);
    size_t n = strlen(chars);
    if (n > TEXT - 1) n = TEXT - 1;
    memcpy(out, chars, n);
    out[n] = '\0';
    (*env)->ReleaseStringUTFChars(env, s, chars);
    (*env)->DeleteLocalRef(env, s);
}

static void setDouble(JNIEnv* env, jobject o, const char* name, double v, jmethodID* cache,
                      int slot) {
    Method m = find(env, o, name, "(D)V", cache, slot);
    (*env)->CallVoidMethod(env, o, m.id, v);
    done(env, m);
}

static void setInt(JNIEnv* env, jobject o, const char* name, int v, jmethodID* cache, int slot) {
    Method m = find(env, o, name, "(I)V", cache, slot);
    (*env)->CallVoidMethod(env, o, m.id, (jint)v);
    done(env, m);
}

static void setLong(JNIEnv* env, jobject o, const char* name, int v, jmethodID* cache, int slot) {
    Method m = find(env, o, name, "(J)V", cache, slot);
    (*env)->CallVoidMethod(env, o, m.id, (jlong)v);
    done(env, m);
}

static void setString(JNIEnv* env, jobject o, const char* name, const char* text, jmethodID* cache,
                      int slot) {
    Method m = find(env, o, name, "(Ljava/lang/String;)V", cache, slot);
    jstring s = (*env)->NewStringUTF(env, text);
    (*env)->ExceptionCheck(env);
    (*env)->CallVoidMethod(env, o, m.id, s);
    done(env, m);
    (*env)->DeleteLocalRef(env, s);
}

static void setObject(JNIEnv* env, jobject o, const char* name, jobject v, jmethodID* cache,
                      int slot) {
    Method m = find(env, o, name, "(Ljava/lang/Object;)V", cache, slot);
    (*env)->CallVoidMethod(env, o, m.id, v);
    done(env, m);
}

static jobject console(JNIEnv* env, jobject adapter, const char* name, jmethodID* cache, int slot) {
    return getObject(env, adapter, name, "()Ljava/lang/Object;", cache, slot);
}

static void commitCommands(JNIEnv* env, jobject adapter, jmethodID* cache) {
    jobject c;
    jobject view;
    Method m;
    jstring s;

    c = console(env, adapter, "getOperateConsole", cache, S_OPERATE);
    setDouble(env, c, "setMoveVelocity", 2.5, cache, S_SET_MOVE);
    (*env)->DeleteLocalRef(env, c);
    c = console(env, adapter, "getOperateConsole", cache, S_OPERATE);
    setDouble(env, c, "setTurnVelocity", -0.5, cache, S_SET_TURN);
    (*env)->DeleteLocalRef(env, c);

    c = console(env, adapter, "getOperateConsole", cache, S_OPERATE);
    m = find(env, c, "sendMessage", "(ILjava/lang/String;)V", cache, S_SEND);
    s = (*env)->NewStringUTF(env, "pass to me");
    (*env)->ExceptionCheck(env);
    (*env)->CallVoidMethod(env, c, m.id, (jint)1, s);
    done(env, m);
    (*env)->DeleteLocalRef(env, s);
    (*env)->DeleteLocalRef(env, c);

    c = console(env, adapter, "getDebugConsole", cache, S_DEBUG);
    setString(env, c, "print", "kick\n", cache, S_PRINT);
    (*env)->DeleteLocalRef(env, c);

    c = console(env, adapter, "getDebugConsole", cache, S_DEBUG);
    view = getObject(env, c, "createLineView", "()Ljava/lang/Object;", cache, S_CREATE_LINE);
    setLong(env, view, "setShowTime", 3, cache, S_SHOW_TIME);
    setInt(env, view, "setColor", 0xff0000, cache, S_COLOR);
    setDouble(env, view, "setBeginX", 1, cache, S_BEGIN_X);
    setDouble(env, view, "setBeginY", 2, cache, S_BEGIN_Y);
    setDouble(env, view, "setEndX", 3, cache, S_END_X);
    setDouble(env, view, "setEndY", 4, cache, S_END_Y);
    setObject(env, c, "addView", view, cache, S_ADD_VIEW);
    (*env)->DeleteLocalRef(env, view);
    (*env)->DeleteLocalRef(env, c);

    c = console(env, adapter, "getDebugConsole", cache, S_DEBUG);
    view = getObject(env, c, "createTextView", "()Ljava/lang/Object;", cache, S_CREATE_TEXT);
    setLong(env, view, "setShowTime", 3, cache, S_SHOW_TIME);
    setInt(env, view, "setColor", 0xff, cache, S_COLOR);
    setString(env, view, "setText", "target", cache, S_TEXT);
    setInt(env, view, "setSize", 12, cache, S_SIZE_SET);
    setDouble(env, view, "setLocationX", 5, cache, S_LOCATION_X);
    setDouble(env, view, "setLocationY", 6, cache, S_LOCATION_Y);
    setObject(env, c, "addView", view, cache, S_ADD_VIEW);
    (*env)->DeleteLocalRef(env, view);
    (*env)->DeleteLocalRef(env, c);
}

static void commitExecute(JNIEnv* env, jobject adapter, jmethodID* cache) {
    jobject c = console(env, adapter, "getOperateConsole", cache, S_OPERATE);
    Method m = find(env, c, "execute", "()V", cache, S_EXECUTE);
    (*env)->CallVoidMethod(env, c, m.id);
    done(env, m);
    (*env)->DeleteLocalRef(env, c);
}

static void updateStatus(JNIEnv* env, jobject adapter, jmethodID* cache) {
    jobject info = console(env, adapter, "getInfoConsole", cache, S_INFO);
    jobject ball;
    jobject teams;
    int t;
    int n;
    int bot = 0;
    mirror.time = getLong(env, info, "getTime", cache, S_TIME);
    ball = getObject(env, info, "getBall", "()Ljava/lang/Object;", cache, S_BALL);
    mirror.ballX = getDouble(env, ball, "getX", cache, S_BALL_X);
    mirror.ballY = getDouble(env, ball, "getY", cache, S_BALL_Y);
    mirror.ballHeading = getDouble(env, ball, "getHeading", cache, S_BALL_HEADING);
    mirror.ballVelocity = getDouble(env, ball, "getVelocity", cache, S_BALL_VELOCITY);
    (*env)->DeleteLocalRef(env, ball);

    teams = getObject(env, info, "getTeams", "()Ljava/util/List;", cache, S_TEAMS);
    n = getInt(env, teams, "size", cache, S_SIZE);
    for (t = 0; t < n && t < 2; ++t) {
        jobject team = getAt(env, teams, t, cache);
        jobject members;
        int count;
        int j;
        mirror.score[t] = getDouble(env, team, "getScore", cache, S_SCORE);
        members = getObject(env, team, "getMembers", "()Ljava/util/List;", cache, S_MEMBERS);
        count = getInt(env, members, "size", cache, S_SIZE);
        if (count > mirror.members[t]) count = mirror.members[t];
        for (j = 0; j < count; ++j, ++bot) {
            jobject robot = getAt(env, members, j, cache);
            mirror.x[bot] = getDouble(env, robot, "getX", cache, S_X);
            mirror.y[bot] = getDouble(env, robot, "getY", cache, S_Y);
            mirror.heading[bot] = getDouble(env, robot, "getHeading", cache, S_HEADING);
            mirror.move[bot] = getDouble(env, robot, "getMoveVelocity", cache, S_MOVE);
            mirror.turn[bot] = getDouble(env, robot, "getTurnVelocity", cache, S_TURN);
            (*env)->DeleteLocalRef(env, robot);
        }
        (*env)->DeleteLocalRef(env, members);
        (*env)->DeleteLocalRef(env, team);
    }
    (*env)->DeleteLocalRef(env, teams);
    (*env)->DeleteLocalRef(env, info);
}

static void updateAction(JNIEnv* env, jobject adapter, jmethodID* cache) {
    static const char* const names[] = {"tick",       "matchBegin",  "matchFinish",
                                        "roundBegin", "roundFinish", "messageReceived",
                                        "hitRobot",   "hitWall",     "hitBall"};
    jobject info = console(env, adapter, "getInfoConsole", cache, S_INFO);
    jobject list = getObject(env, info, "getActions", "()Ljava/util/List;", cache, S_ACTIONS);
    int n = getInt(env, list, "size", cache, S_SIZE);
    int i;
    mirror.events = 0;
    for (i = 0; i < n && i < MAX_EVENTS; ++i) {
        jobject event = getAt(env, list, i, cache);
        char type[TEXT];
        int code;
        getString(env, event, "getType", type, cache, S_TYPE);
        for (code = 0; code < 9 && strcmp(type, names[code]) != 0; ++code) {
        }
        mirror.type[i] = code;
        if (code == 5) {
            mirror.sender[i] = getInt(env, event, "getSender", cache, S_SENDER);
            getString(env, event, "getMessage", mirror.message[i], cache, S_MESSAGE);
        } else if (code == 6) {
            mirror.hited[i] = getInt(env, event, "getHited", cache, S_HITED);
        }
        mirror.events++;
        (*env)->DeleteLocalRef(env, event);
    }
    (*env)->DeleteLocalRef(env, list);
    (*env)->DeleteLocalRef(env, info);
}

void floorCycle(JNIEnv* env, jobject adapter, int commands, jmethodID* cache) {
    if (commands) commitCommands(env, adapter, cache);
    commitExecute(env, adapter, cache);
    updateStatus(env, adapter, cache);
    updateAction(env, adapter, cache);
}

void floorInitialize(JNIEnv* env, jobject adapter, jmethodID* cache) {
    jobject info = console(env, adapter, "getInfoConsole", cache, S_INFO);
    jobject teams = getObject(env, info, "getTeams", "()Ljava/util/List;", cache, S_TEAMS);
    int t;
    mirror.id = getInt(env, info, "getId", cache, S_ID);
    mirror.totalTimes = getLong(env, info, "getTotalTimes", cache, S_TOTAL);
    for (t = 0; t < 2; ++t) {
        jobject team = getAt(env, teams, t, cache);
        jobject members =
            getObject(env, team, "getMembers", "()Ljava/util/List;", cache, S_MEMBERS);
        int count = getInt(env, members, "size", cache, S_SIZE);
        mirror.members[t] = count < MAX_BOTS / 2 ? count : MAX_BOTS / 2;
        (*env)->DeleteLocalRef(env, members);
        (*env)->DeleteLocalRef(env, team);
    }
    (*env)->DeleteLocalRef(env, teams);
    (*env)->DeleteLocalRef(env, info);
}
