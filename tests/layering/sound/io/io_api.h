// api
