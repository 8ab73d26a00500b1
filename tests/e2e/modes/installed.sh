# SPDX-License-Identifier: GPL-3.0-or-later
# The lesson on the program as installed (e.g. /usr/bin/quilloro), reading
# its own media pack: the tones of the test IMG are not there to count.
own_media=1
source "$here/modes/lesson.sh"
