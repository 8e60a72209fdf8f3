# cmake -DSOURCE=page.scd -DOPTIONS=options.scd -DOUTPUT=filled.scd -P this:
# the page with the line %OPTIONS% replaced by the options' text.
file(READ ${SOURCE} page)
file(READ ${OPTIONS} options)
string(REPLACE "%OPTIONS%\n" "${options}" page "${page}")
file(WRITE ${OUTPUT} "${page}")
