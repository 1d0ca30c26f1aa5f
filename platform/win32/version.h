/* The release, in one place: every program's version resource carries it (as "Comments"; each
   program's own file and product version stay in its resource script), and scripts/package names
   the package after it. Plain text that rc, windres and a shell script all read. */
#define ORVANTIS_RELEASE_TEXT "Orvantis 1.0.0"
