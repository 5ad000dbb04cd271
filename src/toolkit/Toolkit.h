/*
 * Touchline toolkit: everything a strategy needs to play one robot.
 *
 * A strategy supplies two hooks, initialize() and run(). run() loops for the whole match:
 * read the world, queue commands, call execute() to end the simulation step. Commands are
 * delivered to the simulator at the start of the next execute(), in this order: move velocity,
 * turn velocity, messages, printed text, overlay views.
 *
 * Units: positions and lengths in court units (x from 0 to the court width, y from 0 to the
 * court height; the goals lie on x = 0 and x = width, centred at y = height / 2); directions in
 * radians from +x towards +y. The toolkit's pi is 3.1415926 (TOOLKIT_PI), its half turn and
 * quarter turn follow from it.
 *
 * Records handed out are snapshots owned by the caller; name pointers in them stay valid for the
 * library's lifetime. Predicates return 1 or 0. Every function here must be called from
 * initialize(), run() or what they call, on the thread the simulator runs the strategy on.
 */
#ifndef TOUCHLINE_TOOLKIT_H
#define TOUCHLINE_TOOLKIT_H

#if defined(_WIN32) || !defined(__GNUC__)
#define TOUCHLINE_API
#else
/* Visible in test builds of the library; strategy libraries hide all but the entry points. */
#define TOUCHLINE_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ---------------------------------------------------------------- constants */

#define TOOLKIT_PI 3.1415926         /* the toolkit's half turn, radians */
#define TOOLKIT_HALF_PI 1.5707963    /* a quarter turn, exactly TOOLKIT_PI / 2 */
#define TOOLKIT_DOUBLE_PI 6.2831852  /* a whole turn, exactly TOOLKIT_PI * 2 */

/* Event type codes, as getActionType() returns them. Not in begin/finish pairs. */
enum {
    ACTION_TICK = 0,             /* one simulation step passed */
    ACTION_MATCH_BEGIN = 1,      /* the match began */
    ACTION_MATCH_FINISH = 2,     /* the match finished */
    ACTION_ROUND_BEGIN = 3,      /* a round began (kick-off) */
    ACTION_ROUND_FINISH = 4,     /* a round finished (a goal was scored) */
    ACTION_MESSAGE_RECEIVED = 5, /* a message arrived: see ActionUnion.messageReceived */
    ACTION_HIT_ROBOT = 6,        /* the robot hit another robot: see ActionUnion.hitRobot */
    ACTION_HIT_WALL = 7,         /* the robot hit a wall */
    ACTION_HIT_BALL = 8          /* the robot hit the ball */
};

/* ---------------------------------------------------------------- world records */

/* The court's geometry; constant for the whole match. */
typedef struct Court {
    double width;        /* extent along x */
    double height;       /* extent along y */
    double goalWidth;    /* width of a goal mouth */
    double goalDepth;    /* depth of a goal */
    double cornerWidth;  /* width of a cut corner */
    double cornerHeight; /* height of a cut corner */
} Court;

/* The ball at the current step. */
typedef struct Ball {
    double x, y;                 /* centre */
    double heading;              /* direction of motion, radians */
    double velocity;             /* speed along heading, court units per step */
    double radius;               /* constant */
    double negativeAcceleration; /* the ball's deceleration; constant */
} Ball;

/* One robot of either team at the current step. */
typedef struct Bot {
    int id;                 /* robot id, unique across both teams */
    int teamId;             /* id of the team whose member it is */
    const char* name;       /* owned by the library: never write or free; valid for good */
    double x, y;            /* centre */
    double heading;         /* facing, radians */
    double moveVelocity;    /* current speed along the heading */
    double turnVelocity;    /* current change of heading per step */
    double radius;          /* constant */
    double maxMoveVelocity; /* constant */
    double maxTurnVelocity; /* constant */
} Bot;

/* One team at the current step. */
typedef struct Team {
    int id;           /* team id */
    const char* name; /* owned by the library: never write or free; valid for good */
    double score;     /* goals scored */
    int attack;       /* > 0: attacks towards x = width; <= 0: towards x = 0. Read once. */
} Team;

/* The data of one event; which member is meaningful depends on the event's type. */
typedef union ActionUnion {
    struct {
        int sender;          /* id of the sending robot */
        const char* message; /* the text; valid until the next execute() */
    } messageReceived;       /* for ACTION_MESSAGE_RECEIVED */
    struct {
        int hited; /* id of the other robot in the collision */
    } hitRobot;    /* for ACTION_HIT_ROBOT */
} ActionUnion;

/* ---------------------------------------------------------------- overlay view records */

/* A line drawn over the court. showTime and color are the simulator's units and encoding. */
typedef struct LineView {
    int showTime;
    int color;
    double beginX, beginY;
    double endX, endY;
} LineView;

/* A text drawn over the court. An empty text leaves the view's text unset. */
typedef struct TextView {
    int showTime;
    int color;
    const char* text;
    int size;
    double locationX, locationY;
} TextView;

/* An ellipse drawn over the court; fill 1 fills it, any other value draws the outline. */
typedef struct EllipseView {
    int showTime;
    int color;
    double xRadius, yRadius;
    int fill;
    double locationX, locationY;
} EllipseView;

/* A rectangle drawn over the court; fill 1 fills it, any other value draws the outline. */
typedef struct RectangleView {
    int showTime;
    int color;
    double width, height;
    int fill;
    double locationX, locationY;
} RectangleView;

/* ---------------------------------------------------------------- strategy hooks */

/* Supplied by the strategy. initialize() runs once before run(); run() plays the match. */
void initialize(void);
void run(void);

/* ---------------------------------------------------------------- the step */

/* Ends the step: delivers queued commands, lets the simulator advance one step, then refreshes
   the world and the event list. */
TOUCHLINE_API void execute(void);

/* Runs up to times steps, stopping right after a step with a round finish; runs exactly one
   step when called while the last step already held a round finish. */
TOUCHLINE_API void executeTimes(int times);

/* ---------------------------------------------------------------- the world */

TOUCHLINE_API int getId(void);                     /* id of the robot this library plays */
TOUCHLINE_API int getTime(void);                   /* current simulation time */
TOUCHLINE_API int getTotalTimes(void);             /* total time of the match */
TOUCHLINE_API int getBotNum(void);                 /* number of robots, both teams */
TOUCHLINE_API void getBot(int index, Bot* out);    /* robot 0..getBotNum()-1; teams contiguous */
TOUCHLINE_API int getTeamNum(void);                /* number of teams */
TOUCHLINE_API void getTeam(int index, Team* out);  /* team 0..getTeamNum()-1, host order */
TOUCHLINE_API void getBall(Ball* out);             /* the ball */
TOUCHLINE_API void getCourt(Court* out);           /* the court */

/* The ball, one value each. */
TOUCHLINE_API double getBallX(void);
TOUCHLINE_API double getBallY(void);
TOUCHLINE_API double getBallHeading(void);              /* radians */
TOUCHLINE_API double getBallVelocity(void);             /* court units per step */
TOUCHLINE_API double getBallRadius(void);
TOUCHLINE_API double getBallNegativeAcceleration(void);

/* The own robot, one value each (0 when it is not mirrored). */
TOUCHLINE_API double getX(void);
TOUCHLINE_API double getY(void);
TOUCHLINE_API double getHeading(void);                  /* radians */
TOUCHLINE_API double getMoveVelocity(void);
TOUCHLINE_API double getTurnVelocity(void);
TOUCHLINE_API double getRadius(void);
TOUCHLINE_API double getMaxMoveVelocity(void);
TOUCHLINE_API double getMaxTurnVelocity(void);
TOUCHLINE_API const char* getName(void);                /* never null; "" when unknown */

/* The own team and its opponent. */
TOUCHLINE_API double getScore(void);                    /* goals of the own team */
TOUCHLINE_API double getLose(void);                     /* goals of the opponent team */
TOUCHLINE_API int getAttack(void);                      /* attack of the own team */

/* The court, one value each, and derived points that follow the own team's attack. */
TOUCHLINE_API double getCourtWidth(void);
TOUCHLINE_API double getCourtHeight(void);
TOUCHLINE_API double getGoalWidth(void);
TOUCHLINE_API double getGoalDepth(void);
TOUCHLINE_API double getCornerWidth(void);
TOUCHLINE_API double getCornerHeight(void);
TOUCHLINE_API double getCourtCenterX(void);             /* width / 2 */
TOUCHLINE_API double getCourtCenterY(void);             /* height / 2 */
TOUCHLINE_API double getOpponentGoalCenterX(void);      /* width if attack > 0, else 0 */
TOUCHLINE_API double getOpponentGoalCenterY(void);      /* height / 2 */
TOUCHLINE_API double getSelfGoalCenterX(void);          /* 0 if attack > 0, else width */
TOUCHLINE_API double getSelfGoalCenterY(void);          /* height / 2 */
TOUCHLINE_API double getAttackHeading(void);            /* 0 if attack > 0, else TOOLKIT_PI */

/* Look-ups and membership. The look-ups return 1 when found, 0 otherwise. */
TOUCHLINE_API int getSelfBot(Bot* out);
TOUCHLINE_API int getBotById(int id, Bot* out);
TOUCHLINE_API int getTeamById(int id, Team* out);
TOUCHLINE_API void getSelfTeam(Team* out);               /* first team holding the own robot */
TOUCHLINE_API void getOpponentTeam(Team* out);           /* first team without the own robot */
TOUCHLINE_API int isMember(const Bot* bot, const Team* team); /* bot->teamId == team->id */
TOUCHLINE_API int isTeammate(const Bot* bot);            /* another robot of the own team */
TOUCHLINE_API int getTeammatesNum(void);                 /* other robots of the own team */

/* Spatial tests. */
TOUCHLINE_API int inCourt(double x, double y, double margin);          /* strictly inside */
TOUCHLINE_API void modifyInCourt(double* x, double* y, double margin); /* clamp into the court */
TOUCHLINE_API int isPointHit(double x, double y); /* on another robot, the ball or the border */

/* ---------------------------------------------------------------- events of the last step */

TOUCHLINE_API int getActionNum(void);            /* number of events of the last step */
TOUCHLINE_API int getActionType(int index);      /* an ACTION_ code; -1 for a bad index */
TOUCHLINE_API void getActionValue(int index, ActionUnion* value); /* the event's data */

TOUCHLINE_API int isMatchBegin(void);
TOUCHLINE_API int isMatchFinish(void);
TOUCHLINE_API int isRoundBegin(void);
TOUCHLINE_API int isRoundFinish(void);
TOUCHLINE_API int isHitRobot(void);
TOUCHLINE_API int isHitWall(void);
TOUCHLINE_API int isHitBall(void);
TOUCHLINE_API int isHited(void);                 /* hit a wall, a robot or the ball */

/* ---------------------------------------------------------------- commands for this step */

TOUCHLINE_API void setMoveVelocity(double velocity);  /* signed; the last call of a step wins */
TOUCHLINE_API void setTurnVelocity(double velocity);  /* radians per step, signed; last wins */
TOUCHLINE_API void sendMessage(const Bot* bot, const char* message); /* to the robot bot->id */
TOUCHLINE_API void broadcastMessage(const char* message); /* to every teammate, once each */

/* Motion helpers: each queues velocities through setMoveVelocity / setTurnVelocity. */
TOUCHLINE_API void setMoveToward(double x, double y, double velocity); /* front or back first */
TOUCHLINE_API void setMoveTo(double x, double y);     /* speed = remaining distance */
TOUCHLINE_API void setTurnTo(double angle);           /* turn only */
TOUCHLINE_API void setKickBallTo(double x, double y); /* approach the ball to push it to (x, y) */

/* ---------------------------------------------------------------- debug output */

TOUCHLINE_API void print(const char* text);     /* appended; one host print per step */
TOUCHLINE_API void addLineView(const LineView* view);
TOUCHLINE_API void addTextView(const TextView* view);
TOUCHLINE_API void addEllipseView(const EllipseView* view);
TOUCHLINE_API void addRectangleView(const RectangleView* view);

/* ---------------------------------------------------------------- geometry */

TOUCHLINE_API double toDegrees(double radians);
TOUCHLINE_API double toRadians(double degrees);
TOUCHLINE_API double angle360(double degrees);       /* in [0, 360] */
TOUCHLINE_API double angleDoublePI(double radians);  /* in [0, TOOLKIT_DOUBLE_PI] */
TOUCHLINE_API double anglePI(double radians);        /* in [-pi, pi] */
TOUCHLINE_API double distance(double x1, double y1, double x2, double y2);
TOUCHLINE_API double heading(double x1, double y1, double x2, double y2); /* 1 to 2; 0 if same */
TOUCHLINE_API double bearing(double angle, double reference); /* signed turn, [-pi, pi] */
TOUCHLINE_API double absBearing(double angle, double reference); /* |bearing|, [0, pi] */
TOUCHLINE_API double gaussian(double x, double k);   /* exp(-k x^2) */
TOUCHLINE_API void nextPoint(double x, double y, double angle, double length, double* outX,
                             double* outY);
TOUCHLINE_API void crossPoint(double x1, double y1, double x2, double y2, double x3, double y3,
                              double x4, double y4, double* outX, double* outY);

#ifdef __cplusplus
}
#endif

#endif /* TOUCHLINE_TOOLKIT_H */
