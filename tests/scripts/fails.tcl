proc inner {} { error "deliberate failure" }
inner
