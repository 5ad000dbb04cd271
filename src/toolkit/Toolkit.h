/*
 * Toolkit.h: everything a strategy needs to play one robot, and its manual.
 *
 * A strategy defines two functions, initialize() and run() (below, "Strategy hooks"). run()
 * plays the whole match in a loop: read the world, queue commands, call execute() to end the
 * step. execute() delivers what was queued, in this order: move velocity, turn velocity,
 * messages, printed text, overlay views; the simulator then advances one step, and execute()
 * returns with the world and the events of the new step.
 *
 * Sections, in order: world (records and queries), events, commands (and the step), debug
 * views, geometry, motion.
 *
 * The installed kit's documentation, <prefix> being where it is installed: the guide,
 * <prefix>/share/doc/touchline/strategy-guide.md (and .html), with a picture of the court; the
 * world's rules and constants, <prefix>/share/doc/touchline/host.md.
 *
 * Units. Positions and lengths in court units: x from 0 to the court width, y from 0 to the
 * court height, and y points up (the replay page draws (0, 0) at the bottom left); the goals on
 * x = 0 and x = width, centred at y = height / 2 (the local match host's court is 220 x 180).
 * The home team attacks the goal at x = width, the away team the goal at x = 0. Time in steps.
 * Velocities per step. Directions in radians from +x towards +y (counterclockwise, y up). The
 * toolkit's pi is 3.1415926 (TOOLKIT_PI), not the full-precision value: angle results mix it
 * with the maths library's full pi, so compare angles with a tolerance.
 *
 * When values are read. Once per match, before initialize(): getId(), getTotalTimes(), every
 * Court field, the Ball's radius and negativeAcceleration, a Bot's id, teamId, name, radius,
 * maxMoveVelocity and maxTurnVelocity, and a Team's id, name and attack (a robot or team the
 * host lists later is read when it first appears). Once per step, at the end of execute() (and
 * before initialize()): getTime(), the Ball's x, y, heading and velocity, a Team's score, a
 * Bot's x, y, heading, moveVelocity and turnVelocity, and the events. Between two execute()
 * calls every query gives the same answer.
 *
 * Text is UTF-8 both ways. Text you hand over (prints, messages, text views) is read as UTF-8:
 * every invalid byte sequence becomes U+FFFD, one per maximal invalid subpart, and the rest of
 * the text is kept; a character outside the Basic Multilingual Plane (an emoji) reaches the
 * host intact. Text you receive (names, messages) is UTF-8 too. A text ends at its first NUL.
 *
 * Records you fill (Ball, Bot, Team, Court) are snapshots you own: they keep their values when
 * the world moves on. Predicates return 1 or 0. A null pointer or an index out of range is
 * ignored: nothing is written, look-ups return 0, getActionType -1. Call the toolkit only from
 * initialize(), run() and what they call, on the thread the simulator runs them on.
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

/* ================================================================ strategy hooks */

/* Defined by the strategy, with exactly these signatures (C++ code includes this header first,
   which gives them C linkage). A strategy lacking either fails to build. */
void initialize(void); /* once, before the first step; the world is already read */
void run(void);        /* plays the match: loops for ever, calling execute() each step */

/* ================================================================ world */

#define TOOLKIT_PI 3.1415926        /* the toolkit's half turn, radians (7 decimals only) */
#define TOOLKIT_HALF_PI 1.5707963   /* a quarter turn, exactly TOOLKIT_PI / 2 */
#define TOOLKIT_DOUBLE_PI 6.2831852 /* a whole turn, exactly TOOLKIT_PI * 2 */

/* The court's geometry; the same for the whole match. */
typedef struct Court {
    double width;        /* extent along x, court units (local host: 220) */
    double height;       /* extent along y, court units (local host: 180) */
    double goalWidth;    /* width of a goal mouth, along y (local host: 40) */
    double goalDepth;    /* depth of a goal behind its goal line (local host: 15) */
    double cornerWidth;  /* cut corner: length taken off the side along x (local host: 7) */
    double cornerHeight; /* cut corner: length taken off the side along y (local host: 7) */
} Court;

/* The ball at the current step. */
typedef struct Ball {
    double x, y;                 /* centre, court units */
    double heading;              /* direction of its motion, radians in [0, 2 pi) */
    double velocity;             /* speed along heading, court units per step, >= 0 */
    double radius;               /* court units; constant (local host: 2.1) */
    double negativeAcceleration; /* speed lost per step while rolling; constant */
} Ball;

/* One robot, of either team, at the current step. */
typedef struct Bot {
    int id;                 /* robot id, unique across both teams (local host: 1, 2, ...) */
    int teamId;             /* id of the team it plays for: isMember(bot, team) */
    const char* name;       /* UTF-8; owned by the library, valid for good; never write or free */
    double x, y;            /* centre, court units */
    double heading;         /* facing, radians in [0, 2 pi) */
    double moveVelocity;    /* signed speed along heading applied last step, units per step */
    double turnVelocity;    /* signed heading change applied last step, radians per step */
    double radius;          /* court units; constant (local host: 4) */
    double maxMoveVelocity; /* faster orders are clamped to it; constant (local host: 3) */
    double maxTurnVelocity; /* faster turns are clamped to it; constant (local host: 0.3) */
} Bot;

/* One team at the current step. */
typedef struct Team {
    int id;           /* team id (local host: 0 home, 1 away) */
    const char* name; /* UTF-8; owned by the library, valid for good; never write or free */
    double score;     /* goals scored so far (a whole number) */
    int attack;       /* > 0: attacks the goal at x = width; <= 0: the goal at x = 0. Read once */
} Team;

/* The match. */
TOUCHLINE_API int getId(void);         /* id of the robot this library plays (Bot.id) */
TOUCHLINE_API int getTime(void);       /* the current step: 0 at the kick-off, then 1, 2, ... */
TOUCHLINE_API int getTotalTimes(void); /* steps the match lasts; getTime() ends there */

/* Records. Each fill copies every field; a bad index or null pointer writes nothing. */
TOUCHLINE_API int getBotNum(void);                /* robots of both teams */
TOUCHLINE_API void getBot(int index, Bot* out);   /* 0..getBotNum()-1: teams in order, each
                                                     team's robots together */
TOUCHLINE_API int getTeamNum(void);               /* teams: 2 */
TOUCHLINE_API void getTeam(int index, Team* out); /* 0..getTeamNum()-1, in the host's order */
TOUCHLINE_API void getBall(Ball* out);            /* the ball */
TOUCHLINE_API void getCourt(Court* out);          /* the court */

/* Look-ups. They return 1 when found. On a miss they return 0 and out holds the last candidate
   looked at: the last robot (getBot(getBotNum() - 1)) or the last team; with no robot or team
   at all, out is left as it was. A null out is allowed: only the answer is given. */
TOUCHLINE_API int getSelfBot(Bot* out);           /* the own robot */
TOUCHLINE_API int getBotById(int id, Bot* out);   /* the robot with Bot.id == id */
TOUCHLINE_API int getTeamById(int id, Team* out); /* the team with Team.id == id */
/* The own robot's team and the other team. Neither says whether it found one: on a miss out
   holds the last team, and with no teams at all it is left as it was. */
TOUCHLINE_API void getSelfTeam(Team* out);
TOUCHLINE_API void getOpponentTeam(Team* out);
TOUCHLINE_API int isMember(const Bot* bot, const Team* team); /* bot->teamId == team->id */
TOUCHLINE_API int isTeammate(const Bot* bot); /* another robot of the own team (never itself) */
TOUCHLINE_API int getTeammatesNum(void);      /* robots of the own team, itself not counted */

/* The ball, one value each: the fields of getBall(). */
TOUCHLINE_API double getBallX(void);                    /* centre x, court units */
TOUCHLINE_API double getBallY(void);                    /* centre y, court units */
TOUCHLINE_API double getBallHeading(void);              /* radians in [0, 2 pi) */
TOUCHLINE_API double getBallVelocity(void);             /* court units per step */
TOUCHLINE_API double getBallRadius(void);               /* court units */
TOUCHLINE_API double getBallNegativeAcceleration(void); /* speed lost per step */

/* The own robot, one value each: the fields of getSelfBot() (0 if it is not found). */
TOUCHLINE_API double getX(void);               /* centre x, court units */
TOUCHLINE_API double getY(void);               /* centre y, court units */
TOUCHLINE_API double getHeading(void);         /* radians in [0, 2 pi) */
TOUCHLINE_API double getMoveVelocity(void);    /* signed, court units per step */
TOUCHLINE_API double getTurnVelocity(void);    /* signed, radians per step */
TOUCHLINE_API double getRadius(void);          /* court units */
TOUCHLINE_API double getMaxMoveVelocity(void); /* court units per step */
TOUCHLINE_API double getMaxTurnVelocity(void); /* radians per step */
TOUCHLINE_API const char* getName(void);       /* never null; "" if unknown; valid for good */

/* The score and the side. */
TOUCHLINE_API double getScore(void); /* goals of the own team */
TOUCHLINE_API double getLose(void);  /* goals of the opponent team: conceded */
TOUCHLINE_API int getAttack(void);   /* Team.attack of the own team: > 0 attacks x = width */

/* The court, one value each, and points that follow the own team's attack. */
TOUCHLINE_API double getCourtWidth(void);          /* Court.width: extent along x */
TOUCHLINE_API double getCourtHeight(void);         /* Court.height: extent along y */
TOUCHLINE_API double getGoalWidth(void);           /* Court.goalWidth: the mouth, along y */
TOUCHLINE_API double getGoalDepth(void);           /* Court.goalDepth */
TOUCHLINE_API double getCornerWidth(void);         /* Court.cornerWidth */
TOUCHLINE_API double getCornerHeight(void);        /* Court.cornerHeight */
TOUCHLINE_API double getCourtCenterX(void);        /* width / 2 */
TOUCHLINE_API double getCourtCenterY(void);        /* height / 2 */
TOUCHLINE_API double getOpponentGoalCenterX(void); /* width if getAttack() > 0, else 0 */
TOUCHLINE_API double getOpponentGoalCenterY(void); /* height / 2 */
TOUCHLINE_API double getSelfGoalCenterX(void);     /* 0 if getAttack() > 0, else width */
TOUCHLINE_API double getSelfGoalCenterY(void);     /* height / 2 */
TOUCHLINE_API double getAttackHeading(void);       /* 0 if getAttack() > 0, else TOOLKIT_PI */

/* Places. */
/* 1 when (x, y) lies strictly inside the court shrunk by margin (< 0 counts as 0) on all sides;
   a point exactly margin from an edge is outside. Ignores the cut corners. */
TOUCHLINE_API int inCourt(double x, double y, double margin);
/* Moves *x and *y into [margin, width - margin] and [margin, height - margin]. */
TOUCHLINE_API void modifyInCourt(double* x, double* y, double margin);
/* 1 when (x, y) lies on another robot's or the ball's disc, or within 2 units of the border. */
TOUCHLINE_API int isPointHit(double x, double y);

/* ================================================================ events */

/* What happened in the last step. Events last one step: the next execute() replaces them. */
enum {
    ACTION_TICK = 0,             /* a step passed (every step) */
    ACTION_MATCH_BEGIN = 1,      /* the match began (the kick-off before the first step) */
    ACTION_MATCH_FINISH = 2,     /* the match finished (its last step) */
    ACTION_ROUND_BEGIN = 3,      /* a kick-off: robots and ball were put in their places */
    ACTION_ROUND_FINISH = 4,     /* a round ended: a goal, a stalled ball or the match's end */
    ACTION_MESSAGE_RECEIVED = 5, /* a message arrived: ActionUnion.messageReceived */
    ACTION_HIT_ROBOT = 6,        /* the robot ran into another robot: ActionUnion.hitRobot */
    ACTION_HIT_WALL = 7,         /* the robot ran into a wall */
    ACTION_HIT_BALL = 8          /* the robot touched the ball */
}; /* not in begin/finish pairs: ACTION_MATCH_FINISH is 2, ACTION_ROUND_BEGIN 3 */

/* One event's data; which member is filled depends on the event's type. */
typedef union ActionUnion {
    struct {
        int sender;          /* id of the robot that sent it (Bot.id) */
        const char* message; /* UTF-8 text; valid until the next execute(): copy it to keep it */
    } messageReceived;       /* for ACTION_MESSAGE_RECEIVED */
    struct {
        int hited; /* id of the other robot in the collision (shares place with sender) */
    } hitRobot;    /* for ACTION_HIT_ROBOT */
} ActionUnion;

TOUCHLINE_API int getActionNum(void);       /* events of the last step, 0 or more */
TOUCHLINE_API int getActionType(int index); /* 0..getActionNum()-1: an ACTION_ code; else -1 */
/* Writes event index's data into *value; other events' types leave *value untouched. */
TOUCHLINE_API void getActionValue(int index, ActionUnion* value);

/* 1 when the last step held at least one such event. */
TOUCHLINE_API int isMatchBegin(void);  /* ACTION_MATCH_BEGIN: the kick-off before step 1 */
TOUCHLINE_API int isMatchFinish(void); /* ACTION_MATCH_FINISH: the match's last step */
TOUCHLINE_API int isRoundBegin(void);  /* ACTION_ROUND_BEGIN: a kick-off */
TOUCHLINE_API int isRoundFinish(void); /* ACTION_ROUND_FINISH: a round ended */
TOUCHLINE_API int isHitRobot(void);    /* ACTION_HIT_ROBOT: ran into a robot */
TOUCHLINE_API int isHitWall(void);     /* ACTION_HIT_WALL: ran into a wall */
TOUCHLINE_API int isHitBall(void);     /* ACTION_HIT_BALL: touched the ball */
TOUCHLINE_API int isHited(void);       /* hit a wall, a robot or the ball */

/* ================================================================ commands and the step */

/* Queued now, delivered by the next execute(). Within a step the last move and the last turn
   velocity win; with none queued, the robot keeps its last ones. The simulator clamps both to
   the robot's maxima; the library passes them unchanged. */
TOUCHLINE_API void setMoveVelocity(double velocity); /* units per step, < 0 backwards */
TOUCHLINE_API void setTurnVelocity(double velocity); /* radians per step, > 0 towards +y */

/* Messages: the text is copied at the call. Each costs one host call at the next execute() and
   arrives as ACTION_MESSAGE_RECEIVED in the step after. An empty text is sent too. */
TOUCHLINE_API void sendMessage(const Bot* bot, const char* message); /* to robot bot->id */
TOUCHLINE_API void broadcastMessage(const char* message); /* one message to each teammate */

/* Ends the step: delivers what was queued, lets the simulator advance one step, then refreshes
   the world and the events. When the match ends it does not return: run() is unwound (in C++,
   by an exception). Never catch everything around execute() (catch (...) in C++): a run()
   that swallows the end and calls execute() again is stopped at once, as "did not stop at
   the end of the match". */
TOUCHLINE_API void execute(void);

/* Runs up to times steps, stopping right after a step with a round finish; runs exactly one
   step when called while the last step already held a round finish. times <= 0: none. */
TOUCHLINE_API void executeTimes(int times);

/* ================================================================ debug views */

/* Appends text to this step's print (no line end added). All of a step's print goes to the
   robot's debug console as one host call at execute(); an empty text costs nothing. */
TOUCHLINE_API void print(const char* text);

/* Overlays drawn over the court, in court units and the court's frame (y up). Each add copies
   the record (and text) at the call and costs about ten host calls at the next execute(): draw
   a few per step, not hundreds. On the local host the view is recorded in the replay with the
   step T it was added in, and the replay page shows it from step T for showTime steps: to
   T + showTime - 1; 0 (or 1) shows it at step T only; negative: for good. color is 0xRRGGBB
   (higher bits ignored). */
typedef struct LineView {
    int showTime;          /* steps it is shown, from the step it was added in; 0: that one */
    int color;             /* 0xRRGGBB */
    double beginX, beginY; /* one end, court units */
    double endX, endY;     /* the other end, court units */
} LineView;

typedef struct TextView {
    int showTime;                /* steps it is shown, from the step it was added in */
    int color;                   /* 0xRRGGBB */
    const char* text;            /* UTF-8; "" leaves the view's text unset; null: not drawn */
    int size;                    /* height of the letters, court units (0 or less: 5) */
    double locationX, locationY; /* the left end of the text's baseline, court units */
} TextView;

typedef struct EllipseView {
    int showTime;                /* steps it is shown, from the step it was added in */
    int color;                   /* 0xRRGGBB */
    double xRadius, yRadius;     /* radii along x and y, court units */
    int fill;                    /* 1 fills it; any other value draws the outline */
    double locationX, locationY; /* its centre, court units */
} EllipseView;

/* A rectangle spans width along +x and height along +y from its location, the corner of least
   x and y (the lower left, y being up), not its centre; a negative width or height extends it
   towards -x or -y instead. */
typedef struct RectangleView {
    int showTime;                /* steps it is shown, from the step it was added in */
    int color;                   /* 0xRRGGBB */
    double width, height;        /* extents along x and y from the location, court units */
    int fill;                    /* 1 fills it; any other value draws the outline */
    double locationX, locationY; /* its corner of least x and y (lower left), not its centre */
} RectangleView;

TOUCHLINE_API void addLineView(const LineView* view);           /* a line */
TOUCHLINE_API void addTextView(const TextView* view);           /* a text */
TOUCHLINE_API void addEllipseView(const EllipseView* view);     /* an ellipse */
TOUCHLINE_API void addRectangleView(const RectangleView* view); /* a rectangle */

/* ================================================================ geometry */

/* Pure functions: no state, no simulator. Angles in radians unless they say degrees. */
TOUCHLINE_API double toDegrees(double radians); /* radians * 180 / TOOLKIT_PI: pi gives 180 */
TOUCHLINE_API double toRadians(double degrees); /* degrees * TOOLKIT_PI / 180 */
/* Degrees folded into [0, 360]; whole turns removed shift it by ~6e-6 (360 gives 359.999994). */
TOUCHLINE_API double angle360(double degrees);
/* Folded into [0, TOOLKIT_DOUBLE_PI]; a full-precision 2 pi gives TOOLKIT_DOUBLE_PI, not 0. */
TOUCHLINE_API double angleDoublePI(double radians);
TOUCHLINE_API double anglePI(double radians); /* folded into [-pi, pi], full-precision pi */
TOUCHLINE_API double distance(double x1, double y1, double x2, double y2); /* Euclidean */
/* Direction from point 1 to point 2, in [0, TOOLKIT_DOUBLE_PI]; 0 when they coincide. */
TOUCHLINE_API double heading(double x1, double y1, double x2, double y2);
/* The signed turn from reference to angle, in [-pi, pi]: > 0 towards increasing heading. */
TOUCHLINE_API double bearing(double angle, double reference);
TOUCHLINE_API double absBearing(double angle, double reference); /* |bearing|, in [0, pi] */
TOUCHLINE_API double gaussian(double x, double k);               /* exp(-k x^2): 1 at x = 0 */
/* The point length away from (x, y) along angle (length < 0: the other way). */
TOUCHLINE_API void nextPoint(double x, double y, double angle, double length, double* outX,
                             double* outY);
/* Where the line through points 1 and 2 meets the line through points 3 and 4. Approximate:
   off by ~1e-7 at tens of units, ~1e-4 at hundreds; parallel lines give huge values. */
TOUCHLINE_API void crossPoint(double x1, double y1, double x2, double y2, double x3, double y3,
                              double x4, double y4, double* outX, double* outY);

/* ================================================================ motion */

/* Each queues this step's move and turn velocities (setMoveVelocity, setTurnVelocity) from the
   world as it is now; call them again every step. */

/* Speed velocity towards (x, y), turning the front or the back to it, whichever is within a
   quarter turn: a point behind the robot is approached backwards (move -velocity). */
TOUCHLINE_API void setMoveToward(double x, double y, double velocity);
/* setMoveToward with the speed equal to the distance left: it slows down as it arrives. */
TOUCHLINE_API void setMoveTo(double x, double y);
/* Turns onto the heading angle; this step's move velocity is left as it is. */
TOUCHLINE_API void setTurnTo(double angle);
/* Heads for a point behind the ball on the line from (x, y) through it, going around the ball
   when in front of it, kept inside the court; the ball is pushed when the robot reaches it. */
TOUCHLINE_API void setKickBallTo(double x, double y);

#ifdef __cplusplus
}
#endif

#endif /* TOUCHLINE_TOOLKIT_H */
