// Brevane: the sample defender. It holds the court's centre line: while the ball is in the half
// its team attacks, it drives to the point of the centre line level with the ball.
#include "adapter/FootballAdapter.h"

extern "C" void run(void) {
    // The court never changes, so its centre is taken once.
    const double centre = getCourtWidth() / 2.0;
    for (;;) {
        double ballX = getBallX();
        int attack = getAttack();
        // An attack of 0 points at neither half: the robot stays where it is.
        if ((attack > 0 && ballX > centre) || (attack < 0 && ballX < centre)) {
            double ballY = getBallY();
            setMoveTo(centre, ballY);
        }
        execute();
    }
}
